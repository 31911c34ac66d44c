// Compares two type libraries, read as data (so a 64-bit program can check the 32-bit build
// without running it), each embedded in a library or a .tlb file of its own:
//
//   typelib_compare <64-bit Trelmo.dll> <32-bit Trelmo.dll>
//   typelib_compare --reference <published .tlb> <Trelmo.dll>
//
// Both must describe the same types and members: names, ids, kinds, flags, parameter and
// result types, help texts, constants. Only the target system may differ between the two
// bitnesses; against the published type library it is the same. Vtable offsets are
// compared in slots: the loader lays both libraries' functions out for this process's pointers
// (Wine keeps a dual interface's vtable size as stored, so that is not compared). Prints
// every difference and exits 1 when there is one.
#include "comtest.h"

#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {
using comtest::TakeBstr;
using comtest::TPtr;
using Lines = std::vector<std::string>;

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::string GuidText(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return Utf8(text);
}

// Name, help text and help context of a member (or of the type itself with MEMBERID_NIL).
std::string Documentation(ITypeInfo* info, MEMBERID id) {
    BSTR name = nullptr, doc = nullptr, file = nullptr;
    DWORD context = 0;
    if (FAILED(info->GetDocumentation(id, &name, &doc, &context, &file)))
        return "<no documentation>";
    return Utf8(TakeBstr(name)) + " \"" + Utf8(TakeBstr(doc)) + "\" context " +
           std::to_string(context) + " file \"" + Utf8(TakeBstr(file)) + "\"";
}

std::string TypeName(ITypeInfo* info, const TYPEDESC& type) {
    switch (type.vt) {
    case VT_PTR:
        return TypeName(info, *type.lptdesc) + "*";
    case VT_SAFEARRAY:
        return "SAFEARRAY(" + TypeName(info, *type.lptdesc) + ")";
    case VT_CARRAY:
        return "CARRAY(" + TypeName(info, type.lpadesc->tdescElem) + ")";
    case VT_USERDEFINED: {
        TPtr<ITypeInfo> target;
        BSTR name = nullptr;
        if (FAILED(info->GetRefTypeInfo(type.hreftype, target.Out())) ||
            FAILED(target->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)))
            return "<unresolved>";
        return Utf8(TakeBstr(name));
    }
    default:
        return "vt" + std::to_string(type.vt);
    }
}

std::string Element(ITypeInfo* info, const ELEMDESC& element) {
    return TypeName(info, element.tdesc) + " flags " +
           std::to_string(element.paramdesc.wParamFlags);
}

std::string ValueText(const VARIANT* value) {
    if (!value)
        return "-";
    VARIANT text;
    VariantInit(&text);
    std::string result = "vt" + std::to_string(V_VT(value));
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR)))
        result += " " + Utf8(std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text))));
    VariantClear(&text);
    return result;
}

void DumpFunctions(ITypeInfo* info, const TYPEATTR& attr, int pointerSize, Lines& out) {
    for (UINT i = 0; i < attr.cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func))) {
            out.push_back("  func " + std::to_string(i) + " unreadable");
            continue;
        }
        BSTR names[64] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 64, &count);
        std::string line =
            "  func id " + std::to_string(func->memid) + " kind " + std::to_string(func->funckind) +
            " invoke " + std::to_string(func->invkind) + " call " + std::to_string(func->callconv) +
            " slot " + std::to_string(func->oVft / pointerSize) + " flags " +
            std::to_string(func->wFuncFlags) + " optional " + std::to_string(func->cParamsOpt) +
            " returns " + Element(info, func->elemdescFunc) + " names";
        for (UINT n = 0; n < count; ++n)
            line += " " + Utf8(TakeBstr(names[n]));
        out.push_back(line);
        for (SHORT p = 0; p < func->cParams; ++p)
            out.push_back("    param " + std::to_string(p) + " " +
                          Element(info, func->lprgelemdescParam[p]));
        out.push_back("    doc " + Documentation(info, func->memid));
        info->ReleaseFuncDesc(func);
    }
}

void DumpVariables(ITypeInfo* info, const TYPEATTR& attr, Lines& out) {
    for (UINT i = 0; i < attr.cVars; ++i) {
        VARDESC* var = nullptr;
        if (FAILED(info->GetVarDesc(i, &var))) {
            out.push_back("  var " + std::to_string(i) + " unreadable");
            continue;
        }
        const bool constant = var->varkind == VAR_CONST;
        out.push_back("  var id " + std::to_string(var->memid) + " kind " +
                      std::to_string(var->varkind) + " flags " + std::to_string(var->wVarFlags) +
                      " type " + Element(info, var->elemdescVar) + " value " +
                      ValueText(constant ? var->lpvarValue : nullptr) + " doc " +
                      Documentation(info, var->memid));
        info->ReleaseVarDesc(var);
    }
}

void DumpType(ITypeInfo* info, int pointerSize, Lines& out, bool dualInterface = false);

void DumpImplemented(ITypeInfo* info, const TYPEATTR& attr, int pointerSize, Lines& out) {
    for (UINT i = 0; i < attr.cImplTypes; ++i) {
        HREFTYPE ref = 0;
        TPtr<ITypeInfo> base;
        INT flags = 0;
        BSTR name = nullptr;
        if (FAILED(info->GetRefTypeOfImplType(i, &ref)) ||
            FAILED(info->GetRefTypeInfo(ref, base.Out())) ||
            FAILED(base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) {
            out.push_back("  implements " + std::to_string(i) + " unreadable");
            continue;
        }
        info->GetImplTypeFlags(i, &flags);
        out.push_back("  implements " + Utf8(TakeBstr(name)) + " flags " + std::to_string(flags));
    }
    // A dual interface's vtable half, which the library lists only through its dispatch half.
    HREFTYPE ref = 0;
    TPtr<ITypeInfo> vtable;
    if (attr.typekind == TKIND_DISPATCH && (attr.wTypeFlags & TYPEFLAG_FDUAL) &&
        SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
        SUCCEEDED(info->GetRefTypeInfo(ref, vtable.Out())))
        DumpType(vtable.Get(), pointerSize, out, true);
}

void DumpType(ITypeInfo* info, int pointerSize, Lines& out, bool dualInterface) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) {
        out.push_back("type unreadable");
        return;
    }
    out.push_back(std::string(dualInterface ? "dual interface " : "type ") +
                  Documentation(info, MEMBERID_NIL) + " guid " + GuidText(attr->guid) + " kind " +
                  std::to_string(attr->typekind) + " flags " + std::to_string(attr->wTypeFlags) +
                  " version " + std::to_string(attr->wMajorVerNum) + "." +
                  std::to_string(attr->wMinorVerNum) + " functions " +
                  std::to_string(attr->cFuncs) + " variables " + std::to_string(attr->cVars) +
                  (attr->typekind == TKIND_ALIAS ? " alias of " + TypeName(info, attr->tdescAlias)
                                                 : std::string()));
    DumpFunctions(info, *attr, pointerSize, out);
    DumpVariables(info, *attr, out);
    if (!dualInterface)
        DumpImplemented(info, *attr, pointerSize, out);
    info->ReleaseTypeAttr(attr);
}

struct TLibrary {
    SYSKIND System = SYS_WIN16;
    Lines Dump;
    int Functions = 0;
};

bool Load(const std::wstring& path, TLibrary& library) {
    TPtr<ITypeLib> lib;
    const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Out());
    if (FAILED(hr)) {
        std::printf("FAIL cannot read the type library of %s (0x%08lx)\n", Utf8(path).c_str(),
                    static_cast<unsigned long>(hr));
        return false;
    }
    TLIBATTR* attr = nullptr;
    lib->GetLibAttr(&attr);
    library.System = attr->syskind;
    const int pointerSize = static_cast<int>(sizeof(void*));
    BSTR name = nullptr, doc = nullptr, file = nullptr;
    DWORD context = 0;
    lib->GetDocumentation(-1, &name, &doc, &context, &file);
    library.Dump.push_back(
        "library " + Utf8(TakeBstr(name)) + " \"" + Utf8(TakeBstr(doc)) + "\" guid " +
        GuidText(attr->guid) + " lcid " + std::to_string(attr->lcid) + " version " +
        std::to_string(attr->wMajorVerNum) + "." + std::to_string(attr->wMinorVerNum) + " flags " +
        std::to_string(attr->wLibFlags) + " help \"" + Utf8(TakeBstr(file)) + "\" context " +
        std::to_string(context));
    lib->ReleaseTLibAttr(attr);
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        TPtr<ITypeInfo> info;
        if (FAILED(lib->GetTypeInfo(i, info.Out()))) {
            library.Dump.push_back("type " + std::to_string(i) + " unreadable");
            continue;
        }
        DumpType(info.Get(), pointerSize, library.Dump);
    }
    for (const std::string& line : library.Dump)
        library.Functions += line.rfind("  func ", 0) == 0;
    return true;
}

std::wstring Wide(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}
} // namespace

int main(int argc, char** argv) {
    const bool reference = argc == 4 && std::string(argv[1]) == "--reference";
    if (argc != 3 && !reference) {
        std::printf("usage: typelib_compare <64-bit Trelmo.dll> <32-bit Trelmo.dll>\n"
                    "       typelib_compare --reference <published .tlb> <Trelmo.dll>\n");
        return 2;
    }
    const char* const first = argv[argc - 2];
    const char* const second = argv[argc - 1];
    const char* const firstLabel = reference ? "published" : "64-bit";
    const char* const secondLabel = reference ? "built" : "32-bit";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    TLibrary a, b;
    int failures = 0;
    if (!Load(Wide(first), a) || !Load(Wide(second), b)) {
        CoUninitialize();
        return 1;
    }
    if (reference && a.System != b.System) {
        std::printf("FAIL target systems %d and %d, expected the same\n", a.System, b.System);
        ++failures;
    } else if (!reference && (a.System != SYS_WIN64 || b.System != SYS_WIN32)) {
        std::printf("FAIL target systems %d and %d, expected win64 (%d) and win32 (%d)\n", a.System,
                    b.System, SYS_WIN64, SYS_WIN32);
        ++failures;
    }
    const size_t lines = std::max(a.Dump.size(), b.Dump.size());
    for (size_t i = 0; i < lines && failures < 20; ++i) {
        const std::string lineA = i < a.Dump.size() ? a.Dump[i] : "<nothing>";
        const std::string lineB = i < b.Dump.size() ? b.Dump[i] : "<nothing>";
        if (lineA != lineB) {
            std::printf("FAIL line %zu differs:\n  %s: %s\n  %s: %s\n", i + 1, firstLabel,
                        lineA.c_str(), secondLabel, lineB.c_str());
            ++failures;
        }
    }
    std::printf("%s: %zu lines, %d functions described in each; target systems %s\n",
                failures ? "the type libraries differ" : "the type libraries match", a.Dump.size(),
                a.Functions, reference ? "the same" : "win64 and win32");
    CoUninitialize();
    return failures ? 1 : 0;
}
