#pragma once

#include <mutex>

namespace vorn::host {

// A shared library opened at its first use instead of at the program's start: its pages, its
// relocations and the libraries it needs in turn cost nothing until a feature calls into it.
// Never closed. Any thread.
class OnDemandLibrary {
public:
    // The library by its soname, such as "libcurl.so.4".
    explicit OnDemandLibrary(const char* soname)
        : m_soname(soname) {}
    OnDemandLibrary(const OnDemandLibrary&) = delete;
    OnDemandLibrary& operator=(const OnDemandLibrary&) = delete;

    // The function of that name, the library opened on the first call; null when the library
    // cannot be opened (logged once) or lacks the function.
    template <typename Function>
    Function* function(const char* name) {
        return reinterpret_cast<Function*>(symbol(name));
    }

private:
    void* symbol(const char* name);

    const char* m_soname;
    std::once_flag m_opened;
    void* m_handle = nullptr;
};

}  // namespace vorn::host
