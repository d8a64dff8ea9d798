// SPDX-License-Identifier: Apache-2.0
// Prints what a host learns from the type library embedded in a component file: for the
// class, the default interface _USBORVA (its vtable view) and the event interface
// __USBORVA, every member's name, dispatch identifier, vtable slot, kind, parameter names
// types and flags, and the type flags. The vtable slot is the offset divided by the pointer
// size of the process reading the library (the loader scales the offsets to it), so the
// 32-bit and the 64-bit libraries print the same text after their first line.
//   typelib_dump.exe FILE            (a .ocx or a .tlb, of either platform)
//   typelib_dump.exe register FILE   registers the library embedded in FILE as a host's
//       loader would when the component registers itself, lists the keys that wrote
//       (the file's path shown as FILE), and removes them again. For the 32-bit component
//       this is the part of its registration that runs no 32-bit code.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string Narrow(BSTR text) {
  std::string out;
  for (UINT i = 0; text != nullptr && i < SysStringLen(text); ++i) out += char(text[i]);
  return out;
}

std::string Kind(const FUNCDESC& f) {
  switch (f.invkind) {
    case INVOKE_PROPERTYGET:
      return "get";
    case INVOKE_PROPERTYPUT:
      return "put";
    case INVOKE_PROPERTYPUTREF:
      return "putref";
    default:
      return "method";
  }
}

// A parameter's type as Variant type numbers, a pointer as "26>" and what it points to.
std::string Type(const TYPEDESC& type) {
  std::string out = std::to_string(type.vt);
  if (type.vt == VT_PTR && type.lptdesc != nullptr) {
    out += '>';
    out += Type(*type.lptdesc);
  }
  return out;
}

std::string ParamFlags(USHORT flags) {
  std::string out;
  if (flags & PARAMFLAG_FIN) out += "in ";
  if (flags & PARAMFLAG_FOUT) out += "out ";
  if (flags & PARAMFLAG_FRETVAL) out += "retval ";
  if (flags & PARAMFLAG_FOPT) out += "optional ";
  if (flags & PARAMFLAG_FHASDEFAULT) out += "default ";
  if (!out.empty()) out.pop_back();
  return out;
}

std::string TypeFlags(WORD flags) {
  std::string out;
  if (flags & TYPEFLAG_FHIDDEN) out += " hidden";
  if (flags & TYPEFLAG_FDUAL) out += " dual";
  if (flags & TYPEFLAG_FDISPATCHABLE) out += " dispatchable";
  if (flags & TYPEFLAG_FOLEAUTOMATION) out += " oleautomation";
  if (flags & TYPEFLAG_FCANCREATE) out += " cancreate";
  if (flags & TYPEFLAG_FCONTROL) out += " control";
  return out;
}

void DumpFunctions(ITypeInfo* info, const TYPEATTR& attr) {
  constexpr int pointer_size = sizeof(void*);
  for (UINT i = 0; i < attr.cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    BSTR names[32] = {};
    UINT count = 0;
    info->GetNames(f->memid, names, 32, &count);
    std::printf("  %-8s %-22s dispid %ld slot %d", Kind(*f).c_str(), Narrow(names[0]).c_str(),
                long(f->memid), int(f->oVft / pointer_size));
    for (SHORT p = 0; p < f->cParams; ++p) {
      // A put's value parameter has no name of its own in the library.
      const std::string name = UINT(p + 1) < count ? Narrow(names[p + 1]) : "(value)";
      std::printf(" | %s %s [%s]", name.c_str(), Type(f->lprgelemdescParam[p].tdesc).c_str(),
                  ParamFlags(f->lprgelemdescParam[p].paramdesc.wParamFlags).c_str());
    }
    std::printf("\n");
    for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
    info->ReleaseFuncDesc(f);
  }
}

std::wstring GuidText(const GUID& guid) {
  wchar_t text[64];
  StringFromGUID2(guid, text, 64);
  return text;
}

// Every key and value under root\\path, depth first, one line each.
void ListKeys(HKEY root, const std::wstring& path, const std::wstring& file) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    wchar_t data[1024];
    DWORD name_size = 256, data_size = sizeof data, type = 0;
    if (RegEnumValueW(key, i, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(data),
                      &data_size) != ERROR_SUCCESS) {
      break;
    }
    std::wstring value = type == REG_SZ ? std::wstring(data) : L"(binary)";
    if (value.rfind(L"\\\\?\\", 0) == 0) value.erase(0, 4);  // the loader's long-path prefix
    const std::wstring folder = file.substr(0, file.find_last_of(L'\\'));
    if (_wcsicmp(value.c_str(), file.c_str()) == 0) value = L"FILE";
    if (_wcsicmp(value.c_str(), folder.c_str()) == 0) value = L"FOLDER";
    std::printf("%ls\\[%ls] = %ls\n", path.c_str(), name, value.c_str());
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD name_size = 256;
    if (RegEnumKeyExW(key, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    ListKeys(root, path + L"\\" + name, file);
  }
  RegCloseKey(key);
}

int Register(const std::wstring& path) {
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &library))) {
    std::printf("cannot register\n");
    return 1;
  }
  TLIBATTR* lib = nullptr;
  library->GetLibAttr(&lib);
  ListKeys(HKEY_CLASSES_ROOT, L"TypeLib\\" + GuidText(lib->guid), path);
  for (UINT t = 0; t < library->GetTypeInfoCount(); ++t) {
    ITypeInfo* info = nullptr;
    library->GetTypeInfo(t, &info);
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    if (attr->typekind == TKIND_DISPATCH || attr->typekind == TKIND_INTERFACE) {
      ListKeys(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(attr->guid), path);
    }
    info->ReleaseTypeAttr(attr);
    info->Release();
  }
  UnRegisterTypeLib(lib->guid, lib->wMajorVerNum, lib->wMinorVerNum, lib->lcid, lib->syskind);
  library->ReleaseTLibAttr(lib);
  library->Release();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "register") == 0) {
    CoInitialize(nullptr);
    const int result = Register(std::wstring(argv[2], argv[2] + std::strlen(argv[2])));
    CoUninitialize();
    return result;
  }
  if (argc != 2) return 2;
  CoInitialize(nullptr);
  std::wstring path(argv[1], argv[1] + std::strlen(argv[1]));
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) {
    std::printf("cannot load %s\n", argv[1]);
    return 1;
  }
  TLIBATTR* lib = nullptr;
  library->GetLibAttr(&lib);
  std::printf("library for %s\n", lib->syskind == SYS_WIN64 ? "win64" : "win32");
  std::printf("library version %u.%u\n", lib->wMajorVerNum, lib->wMinorVerNum);
  library->ReleaseTLibAttr(lib);
  for (UINT t = 0; t < library->GetTypeInfoCount(); ++t) {
    ITypeInfo* info = nullptr;
    library->GetTypeInfo(t, &info);
    BSTR name = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    std::printf("type %s kind %d flags%s\n", Narrow(name).c_str(), int(attr->typekind),
                TypeFlags(attr->wTypeFlags).c_str());
    // A dual interface is listed by its vtable view, where the slots are.
    ITypeInfo* view = info;
    HREFTYPE vtable = 0;
    if ((attr->wTypeFlags & TYPEFLAG_FDUAL) && SUCCEEDED(info->GetRefTypeOfImplType(-1, &vtable)) &&
        SUCCEEDED(info->GetRefTypeInfo(vtable, &view))) {
      TYPEATTR* view_attr = nullptr;
      view->GetTypeAttr(&view_attr);
      DumpFunctions(view, *view_attr);
      view->ReleaseTypeAttr(view_attr);
      view->Release();
    } else {
      DumpFunctions(info, *attr);
    }
    info->ReleaseTypeAttr(attr);
    SysFreeString(name);
    info->Release();
  }
  library->Release();
  CoUninitialize();
  return 0;
}
