#include "LoadedModules.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include <elf.h>
#include <link.h>
#include <unistd.h>

namespace vorn {
namespace {

std::string executablePath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

std::string hex(const unsigned char* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

// The build id among the notes of one mapped PT_NOTE segment.
std::string buildIdIn(const unsigned char* notes, std::size_t size, std::size_t alignment) {
    const auto aligned = [alignment](std::size_t n) {
        return (n + alignment - 1) / alignment * alignment;
    };
    std::size_t offset = 0;
    while (offset + sizeof(ElfW(Nhdr)) <= size) {
        ElfW(Nhdr) header;
        std::memcpy(&header, notes + offset, sizeof header);
        const std::size_t name = offset + sizeof header;
        const std::size_t description = name + aligned(header.n_namesz);
        const std::size_t next = description + aligned(header.n_descsz);
        if (next > size || next <= offset) {
            break;
        }
        if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4
            && std::memcmp(notes + name, "GNU", 4) == 0) {
            return hex(notes + description, header.n_descsz);
        }
        offset = next;
    }
    return {};
}

int collect(dl_phdr_info* info, std::size_t, void* data) {
    auto& modules = *static_cast<std::vector<LoadedModule>*>(data);
    std::uint64_t low = UINT64_MAX;
    std::uint64_t high = 0;
    LoadedModule module;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD) {
            low = std::min<std::uint64_t>(low, segment.p_vaddr);
            high = std::max<std::uint64_t>(high, segment.p_vaddr + segment.p_memsz);
        } else if (segment.p_type == PT_NOTE && module.buildId.empty()) {
            const auto* notes =
                reinterpret_cast<const unsigned char*>(info->dlpi_addr + segment.p_vaddr);
            module.buildId = buildIdIn(notes, segment.p_memsz, segment.p_align == 8 ? 8 : 4);
        }
    }
    if (low >= high) {
        return 0;
    }
    module.address = info->dlpi_addr + low;
    module.size = high - low;
    const bool executable = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
    module.path = executable ? (modules.empty() ? executablePath() : std::string())
                             : std::string(info->dlpi_name);
    if (!module.path.empty()) {
        modules.push_back(std::move(module));
    }
    return 0;
}

}  // namespace

std::vector<LoadedModule> loadedModules() {
    std::vector<LoadedModule> modules;
    ::dl_iterate_phdr(collect, &modules);
    return modules;
}

}  // namespace vorn
