#include "access/statement/NARecord.h"

CNARecord::CNARecord() : m_pclCurrentKXRecord(nullptr) {}

CNARecord::~CNARecord() {}
