// Leak-checker suppressions for the GL driver stack (Mesa, LLVM, EGL/GLX loaders), which
// keeps a few allocations until process exit. Frames inside driver modules that were
// unloaded by then are attributed to whatever library is mapped at their address now,
// which is why the sanitizer's own runtime appears in the list.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:swrast_dri.so\n"
           "leak:libgallium\n"
           "leak:libLLVM\n"
           "leak:libEGL_mesa.so\n"
           "leak:libGLX_mesa.so\n"
           "leak:libglapi.so\n"
           "leak:libX11.so\n"
           "leak:libubsan.so\n"
           "leak:libasan.so\n";
}
