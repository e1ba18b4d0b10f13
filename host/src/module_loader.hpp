#pragma once
// A plug-in module loaded as a host loads it: dlopen, then the twenty exports by name.
#include <memory>
#include <stdexcept>
#include <string>

#include "kpl/support/plug_hdr.hpp"

namespace kplhost {

class LoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Module {
 public:
  // Throws LoadError naming the file or the missing export.
  explicit Module(const std::string& path);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  const std::string& path() const { return path_; }

  piCountFn piCount;
  piInitFn piInit;
  piDoneFn piDone;
  piNameFn piName;
  piFlagsFn piFlags;
  piIconFn piIcon;
  piLocalInitFn piLocalInit;
  piLocalDoneFn piLocalDone;
  piLocalSetFormatFn piLocalSetFormat;
  piLocalLengthFn piLocalLength;
  piLocalDlgFn piLocalDlg;
  piLocalFlagsFn piLocalFlags;
  piLocalSetDataFn piLocalSetData;
  piLocalProcessDataStartFn piLocalProcessDataStart;
  piLocalProcessDataFn piLocalProcessData;
  piLocalProcessDataEndFn piLocalProcessDataEnd;
  piLocalGetDataFn piLocalGetData;
  piLocalSaveDataFn piLocalSaveData;
  piLocalLoadDataFn piLocalLoadData;
  piLocalNameFn piLocalName;

 private:
  std::string path_;
  void* library_ = nullptr;
};

}  // namespace kplhost
