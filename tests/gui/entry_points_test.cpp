#include <dlfcn.h>
#include <gtest/gtest.h>

// The host finds the library's three entries by their C names.
TEST(EntryPoints, LibraryExportsItsEntries) {
    void* lib = dlopen(ZUNO_FWD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char* entry : {"Zuno_Fwd_c_libInitialize", "Zuno_Fwd_c_libTerminate", "Zuno_Fwd_c"})
        EXPECT_NE(dlsym(lib, entry), nullptr) << entry;
    dlclose(lib);
}
