#include "services/folder_copy.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "services/encoding.h"
#include "services/scoped_win.h"

using Microsoft::WRL::ComPtr;

namespace {

// Written so, with a lower-case first letter; the registry matches ProgIDs without regard to case.
constexpr wchar_t kFileSystemObjectProgId[] = L"scripting.FileSystemObject";

// The one object of a copy. The holder starts empty and releases the object when it goes, which
// copyFolderUsing arranges to happen before COM is uninitialised.
struct ComObjectRef {
  ComPtr<IDispatch> object;

  ComObjectRef() = default;
  ComObjectRef(const ComObjectRef&) = delete;
  ComObjectRef& operator=(const ComObjectRef&) = delete;
};

// An instance of the class registered for progId, in its running state; null when any step fails
// (an instance already made is released then).
ComPtr<IDispatch> createRunningObject(const wchar_t* progId) {
  CLSID classId;
  if (FAILED(CLSIDFromProgID(progId, &classId))) return nullptr;
  ComPtr<IDispatch> object;
  if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&object)))) return nullptr;
  if (FAILED(OleRun(object.Get()))) return nullptr;
  return object;
}

bool invokeCopyFolder(IDispatch& object, const Text& source, const Text& destination) {
  wchar_t methodName[] = L"CopyFolder";
  LPOLESTR names[] = {methodName};
  DISPID method = DISPID_UNKNOWN;
  if (FAILED(object.GetIDsOfNames(IID_NULL, names, 1, GetUserDefaultLCID(), &method))) return false;

  // Empty texts reach the method as null strings.
  const ScopedBstr sourceString(gbkToWide(source).c_str());
  const ScopedBstr destinationString(gbkToWide(destination).c_str());
  VARIANTARG arguments[2];
  // Automation lists the arguments last first: the destination, then the source.
  for (VARIANTARG& argument : arguments) VariantInit(&argument);
  arguments[0].vt = VT_BSTR;
  arguments[0].bstrVal = destinationString.get();
  arguments[1].vt = VT_BSTR;
  arguments[1].bstrVal = sourceString.get();
  DISPPARAMS parameters{arguments, nullptr, 2, 0};
  return object.Invoke(method, IID_NULL, GetUserDefaultLCID(), DISPATCH_METHOD, &parameters, nullptr, nullptr,
                       nullptr) == S_OK;
}

}  // namespace

bool copyFolder(const Text& source, const Text& destination) {
  return copyFolderUsing(kFileSystemObjectProgId, source, destination);
}

bool copyFolderUsing(const wchar_t* progId, const Text& source, const Text& destination) {
  // Nests inside the thread's OLE initialisation. Declared first, so the holder below is emptied
  // and its object released before COM is uninitialised.
  const ScopedComInit com;
  ComObjectRef holder;
  holder.object = createRunningObject(progId);
  return holder.object && invokeCopyFolder(*holder.object.Get(), source, destination);
}
