// A program of the build or a script of the source tree run as a user runs
// it, with its standard output and error kept apart in files, so that a
// test can read them while it runs.
#pragma once

#include "tests/support/TempDir.h"

#include <string>
#include <sys/types.h>
#include <vector>

struct STProgramRun {
    std::string strOut;
    std::string strErr;
    // The exit code, or -1 when a signal ended it.
    int nExit = -1;
};

class CProgram {
public:
    CProgram() = default;
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;
    // A program still running is ended (SIGTERM to its process group) and
    // waited for.
    ~CProgram();

    // Starts astrCommand (a program and its arguments, "env NAME=value ..."
    // to set a variable) in a process group of its own.
    bool bStart(const std::vector<std::string>& astrCommand);
    pid_t nPid() const { return m_nPid; }
    // What it has written so far.
    std::string Out() const;
    std::string Err() const;
    // Waits for its end; the exit code, or -1.
    int nWait();

private:
    CTempDir m_clDir{"zt_program"};
    pid_t m_nPid = 0;
};

// Runs the command to its end.
STProgramRun RunProgram(const std::vector<std::string>& astrCommand);
