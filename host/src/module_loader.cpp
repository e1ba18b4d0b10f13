#include "module_loader.hpp"

#include <dlfcn.h>

namespace kplhost {

Module::Module(const std::string& path) : path_(path) {
  library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) {
    const char* why = dlerror();
    throw LoadError("cannot load module " + path + ": " + (why ? why : "unknown error"));
  }
  auto bind = [this](auto& slot, const char* name) {
    void* address = dlsym(library_, name);
    if (!address) {
      dlclose(library_);
      throw LoadError(path_ + " is not a plug-in module: it has no export " + name);
    }
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(address);
  };
#define KPL_BIND(name) bind(name, #name)
  KPL_BIND(piCount);
  KPL_BIND(piInit);
  KPL_BIND(piDone);
  KPL_BIND(piName);
  KPL_BIND(piFlags);
  KPL_BIND(piIcon);
  KPL_BIND(piLocalInit);
  KPL_BIND(piLocalDone);
  KPL_BIND(piLocalSetFormat);
  KPL_BIND(piLocalLength);
  KPL_BIND(piLocalDlg);
  KPL_BIND(piLocalFlags);
  KPL_BIND(piLocalSetData);
  KPL_BIND(piLocalProcessDataStart);
  KPL_BIND(piLocalProcessData);
  KPL_BIND(piLocalProcessDataEnd);
  KPL_BIND(piLocalGetData);
  KPL_BIND(piLocalSaveData);
  KPL_BIND(piLocalLoadData);
  KPL_BIND(piLocalName);
#undef KPL_BIND
}

Module::~Module() {
  if (library_) dlclose(library_);
}

}  // namespace kplhost
