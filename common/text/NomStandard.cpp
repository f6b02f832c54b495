#include "common/text/NomStandard.h"

// Constant-initialised: ready before any other start-up code runs.
CNomStandardStatique CNomStandardStatique::ChaineVide;
