// Objects the stand-in keeps while it is loaded: made on first use, freed
// when the library is unloaded or the process ends. They go after every
// static destructor of the process has run, so none of those can meet a
// freed one.
#pragma once

// Frees p with pfnFree at the unloading (nothing for a null p).
void HostFreeAtUnload(void (*pfnFree)(void*), void* p);

// p, deleted at the unloading.
template <class T>
T* HostKeep(T* p)
{
    HostFreeAtUnload([](void* q) { delete static_cast<T*>(q); }, p);
    return p;
}
