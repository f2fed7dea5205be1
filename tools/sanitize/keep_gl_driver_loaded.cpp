// Linked into test programs of the sanitizer build. The GL driver's modules are never
// unloaded: the leak checker reports at exit, and the driver's own allocations are
// suppressed by module name, which a module unloaded by then no longer has (its frames
// would be attributed to whatever is mapped at their address now).
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <initializer_list>

extern "C" int dlclose(void* handle) {
    using Close = int (*)(void*);
    static const Close next = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "dlclose"));
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) {
        for (const char* driver : {"mesa", "gallium", "_dri.so", "libGL", "libEGL", "libLLVM", "libglapi"})
            if (std::strstr(map->l_name, driver))
                return 0;
    }
    return next ? next(handle) : -1;
}
