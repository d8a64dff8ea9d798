// SPDX-License-Identifier: Apache-2.0
// Prints what a host learns from the type library embedded in a component file: for the
// class, the default interface _USBORVA (its vtable view) and the event interface
// __USBORVA, every member's name, dispatch identifier, vtable slot, kind, parameter names
// types and flags, and the type flags. The vtable slot is the offset divided by the pointer
// size of the process reading the library (the loader scales the offsets to it), so the
// 32-bit and the 64-bit libraries print the same text after their first line.
//   typelib_dump.exe FILE   (a .ocx or a .tlb, of either platform)
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

}  // namespace

int main(int argc, char** argv) {
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
