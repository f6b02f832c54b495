// What the server tests share: the driver and its SQL interface as the host
// gets them, a host description of the private server's test user, and the
// texts they compare stored values with.
#pragma once

#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/TestServer.h"

#include <string>

// The module's start-up, the driver and its SQL interface (null when the
// driver offers none); Stop releases both.
void StartDriverAndSQL(INADriver** ppiDriver, INADriverSQL** ppiSQL);
void StopDriverAndSQL(INADriver** ppiDriver, INADriverSQL** ppiSQL);

// The test user on the private server by TCP, into strDatabase, with the
// password given and further options after the port.
void DescribeTestServer(CHostConnectionDescription* p, const CTestServer& server, const wchar_t* pszName,
                        const std::string& strDatabase, const std::wstring& strPassword,
                        const std::wstring& strOptions);

// Upper-case hexadecimal of bytes, as the server's HEX() writes it.
std::string HexaOf(const std::string& s);
// UTF-8 of a wide text, its NUL characters kept.
std::string UTF8Of(const std::wstring& s);
