// How a reference-holding container (CRefArray) takes and drops a reference
// on a T: static AddRef(T*) and Release(T*), never called with null. Each
// counted type brings its own specialisation next to its definition, so
// that the containers know no type above them.
#pragma once

#include <type_traits>

template <class T, class = void>
struct CRefTraits;

// Whether the specialisation for T derives from the root R.
template <class T, class R>
using TRefTraitsFor = typename std::enable_if<std::is_base_of<R, T>::value>::type;
