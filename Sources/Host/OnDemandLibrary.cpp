#include "OnDemandLibrary.h"

#include "Log.h"

#include <dlfcn.h>

namespace vorn::host {

void* OnDemandLibrary::symbol(const char* name) {
    std::call_once(m_opened, [this] {
        m_handle = ::dlopen(m_soname, RTLD_NOW | RTLD_LOCAL);
        if (m_handle == nullptr) {
            const char* reason = ::dlerror();
            vornAppLog().error("library not available name=", m_soname,
                               " reason=", reason != nullptr ? reason : "unknown");
        }
    });
    if (m_handle == nullptr) {
        return nullptr;
    }
    return ::dlsym(m_handle, name);
}

}  // namespace vorn::host
