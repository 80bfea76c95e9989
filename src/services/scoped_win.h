#pragma once

// Small owners for Windows handles. Each owns one handle, releases it once and cannot be copied.

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

class ScopedFindHandle {
 public:
  explicit ScopedFindHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedFindHandle() {
    if (valid()) FindClose(handle_);
  }
  ScopedFindHandle(const ScopedFindHandle&) = delete;
  ScopedFindHandle& operator=(const ScopedFindHandle&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class ScopedFileHandle {
 public:
  explicit ScopedFileHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedFileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  ScopedFileHandle(const ScopedFileHandle&) = delete;
  ScopedFileHandle& operator=(const ScopedFileHandle&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class ScopedBstr {
 public:
  // A null BSTR stands for an empty text, as automation expects.
  explicit ScopedBstr(const wchar_t* text) : bstr_(text && *text ? SysAllocString(text) : nullptr) {}
  ~ScopedBstr() { SysFreeString(bstr_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const { return bstr_; }

 private:
  BSTR bstr_;
};

template <typename GdiObject>
class ScopedGdiObject {
 public:
  explicit ScopedGdiObject(GdiObject object = nullptr) : object_(object) {}
  ~ScopedGdiObject() {
    if (object_) DeleteObject(object_);
  }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;

  void reset(GdiObject object) {
    if (object_) DeleteObject(object_);
    object_ = object;
  }
  GdiObject get() const { return object_; }

 private:
  GdiObject object_;
};

using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedBrush = ScopedGdiObject<HBRUSH>;

// COM for the calling thread, balanced on every path.
class ScopedComInit {
 public:
  ScopedComInit() : result_(CoInitialize(nullptr)) {}
  ~ScopedComInit() {
    // CoInitialize's S_FALSE (already initialised) must be balanced too; only a failure must not.
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;

 private:
  HRESULT result_;
};

class ScopedOleInit {
 public:
  ScopedOleInit() : result_(OleInitialize(nullptr)) {}
  ~ScopedOleInit() {
    if (SUCCEEDED(result_)) OleUninitialize();
  }
  ScopedOleInit(const ScopedOleInit&) = delete;
  ScopedOleInit& operator=(const ScopedOleInit&) = delete;

  bool succeeded() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};
