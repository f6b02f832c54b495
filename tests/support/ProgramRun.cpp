#include "tests/support/ProgramRun.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

std::string FileText(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

CProgram::~CProgram()
{
    if (m_nPid > 0) {
        kill(-m_nPid, SIGTERM);
        nWait();
    }
}

bool CProgram::bStart(const std::vector<std::string>& astrCommand)
{
    if (m_nPid > 0 || m_clDir.Path().empty() || astrCommand.empty())
        return false;
    std::vector<std::string> astrArgs = astrCommand;
    std::vector<char*> apszArgs;
    for (std::string& s : astrArgs)
        apszArgs.push_back(&s[0]);
    apszArgs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (m_clDir.Path() + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, (m_clDir.Path() + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t nPid = 0;
    const int nError = posix_spawnp(&nPid, apszArgs[0], &actions, &attr, apszArgs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (nError != 0)
        return false;
    m_nPid = nPid;
    return true;
}

std::string CProgram::Out() const { return FileText(m_clDir.Path() + "/out"); }

std::string CProgram::Err() const { return FileText(m_clDir.Path() + "/err"); }

int CProgram::nWait()
{
    if (m_nPid <= 0)
        return -1;
    int nStatus = 0;
    pid_t n = 0;
    do {
        n = waitpid(m_nPid, &nStatus, 0);
    } while (n < 0 && errno == EINTR);
    m_nPid = 0;
    return n > 0 && WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

STProgramRun RunProgram(const std::vector<std::string>& astrCommand)
{
    CProgram clProgram;
    STProgramRun st;
    if (!clProgram.bStart(astrCommand))
        return st;
    st.nExit = clProgram.nWait();
    st.strOut = clProgram.Out();
    st.strErr = clProgram.Err();
    return st;
}
