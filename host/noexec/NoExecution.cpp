// A runtime library that offers no "Execution" entry, for the module's
// handling of a runtime it cannot talk to.
extern "C" __attribute__((visibility("default"))) int HostNoExecution_nVersion()
{
    return 1;
}
