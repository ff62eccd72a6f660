#pragma once

// Where the player's code calls ours: a COM method, a window or dialog procedure, a callback,
// the start of a thread. An exception must never unwind into code that is not ours; each entry
// point runs its body through one of these and answers what the caller can live with.

#include <windows.h>

#include <new>
#include <type_traits>

namespace tunewell {

// A COM method: the body's HRESULT; E_OUTOFMEMORY when it ran out of memory, E_UNEXPECTED when
// it threw anything else.
template <typename Body>
HRESULT ComEntry(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// A window or dialog procedure, or a callback the player's side calls: the body's answer; when
// it throws, `otherwise`'s, which is the answer the caller would have had without us (the
// procedure we replaced, DefWindowProc, FALSE from a dialog procedure, no worker).
template <typename Body, typename Otherwise>
std::invoke_result_t<Body&> ProcedureEntry(Body&& body, Otherwise&& otherwise) noexcept {
  try {
    return body();
  } catch (...) {
  }
  try {
    return otherwise();
  } catch (...) {
  }
  if constexpr (!std::is_void_v<std::invoke_result_t<Body&>>) return {};
}

// The start of a thread: runs the body; a throw ends the thread and nothing else.
template <typename Body>
void ThreadEntry(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace tunewell
