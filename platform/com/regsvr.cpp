// regsvr [-u] <library.so>
// Registers a component library (DllRegisterServer) or, with -u, removes its
// registration (DllUnregisterServer). Exit code 0 on success; otherwise a
// message on standard error.
#include <dlfcn.h>

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: regsvr [-u] <library.so>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 && !unregister)
            unregister = true;
        else if (!file && argv[i][0] != '-')
            file = argv[i];
        else
            return usage();
    }
    if (!file)
        return usage();

    // The library registers the path it was loaded from, so load it by its
    // absolute path (symbolic links kept, so that a relinked version is found).
    std::string full = file;
    if (full[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) {
            std::fprintf(stderr, "regsvr: %s\n", std::strerror(errno));
            return 1;
        }
        full = std::string(cwd) + "/" + full;
    }
    if (access(full.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "regsvr: %s: %s\n", full.c_str(), std::strerror(errno));
        return 1;
    }
    void* lib = dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", full.c_str(), dlerror());
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<int (*)()>(dlsym(lib, entry));
    if (!fn) {
        std::fprintf(stderr, "regsvr: %s has no entry point %s\n", full.c_str(), entry);
        return 1;
    }
    int rc = 1;
    try {
        rc = fn();
    } catch (...) {
        std::fprintf(stderr, "regsvr: %s in %s raised an exception\n", entry, full.c_str());
        return 1;
    }
    if (rc != 0) {
        std::fprintf(stderr, "regsvr: %s in %s failed (code %d)\n", entry, full.c_str(), rc);
        return 1;
    }
    return 0;
}
