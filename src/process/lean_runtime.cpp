// starter.exe catches no exceptions: its code is built without them, so a
// failed allocation or an impossible string length can only end the
// process. Linked statically, the C++ runtime would still bring along all
// the machinery for throwing (the exception classes, the unwinder, the
// verbose terminate handler with its name demangler and printf, the thread
// library they lock with) and its prebuilt string code, which was built
// with exceptions and needs that machinery too: far more than the program
// itself. So the string code the program uses is instantiated here, without
// exceptions, and the few ways the runtime had of throwing end the process
// at once with exit code 3, as an uncaught exception would have ended it,
// but silently: abort() would show the C runtime's error box first. The
// launch path asks Affordable for the memory a run file wants before taking
// it, so it never ends here. Only starter.exe links this file; the test
// programs keep the runtime as it is.
#include "tray.h"

#include <cstdlib>
#include <new>
#include <string>

template class std::basic_string<char>;

// A resident starter takes its icon along: left behind, it would stay in
// the notification area, dead, until the pointer passes over it. Taking it
// away may itself want memory and come back here; the second time the
// process just ends.
[[noreturn]] static void EndSilently()
{
    static bool ending = false;
    if (!ending) {
        ending = true;
        RemoveTrayIcon();
    }
    std::_Exit(3);
}

// Every function of the runtime's own that throws, so that its object file,
// which defines them all together, is never linked.
namespace std {
void __throw_bad_exception() { EndSilently(); }
void __throw_bad_alloc() { EndSilently(); }
void __throw_bad_array_new_length() { EndSilently(); }
void __throw_bad_cast() { EndSilently(); }
void __throw_bad_typeid() { EndSilently(); }
void __throw_logic_error(const char*) { EndSilently(); }
void __throw_domain_error(const char*) { EndSilently(); }
void __throw_invalid_argument(const char*) { EndSilently(); }
void __throw_length_error(const char*) { EndSilently(); }
void __throw_out_of_range(const char*) { EndSilently(); }
void __throw_out_of_range_fmt(const char*, ...) { EndSilently(); }
void __throw_runtime_error(const char*) { EndSilently(); }
void __throw_range_error(const char*) { EndSilently(); }
void __throw_overflow_error(const char*) { EndSilently(); }
void __throw_underflow_error(const char*) { EndSilently(); }
} // namespace std

// The runtime's operator new throws std::bad_alloc itself, so it is replaced
// by one that ends the process when no memory can be had.
void* operator new(std::size_t size)
{
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    EndSilently();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
