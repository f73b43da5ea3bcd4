// The band's type library as widl builds it, embedded in this test program
// as TYPELIB 1 the way the band module embeds it.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "ComPtr.h"
#include "TOOLBAND.h"
#include "TypeLibrary.h"

namespace {

using vnl::ComPtr;

struct Documentation {
    std::wstring name;
    std::wstring help;
};

template <typename T>
Documentation DocumentationOf(T* item, MEMBERID id) {
    BSTR name = nullptr, help = nullptr;
    EXPECT_EQ(item->GetDocumentation(id, &name, &help, nullptr, nullptr), S_OK);
    Documentation d{name ? name : L"", help ? help : L""};
    ::SysFreeString(name);
    ::SysFreeString(help);
    return d;
}

TEST(BandTypeLibrary, DescribesTheLibraryTheClassAndTheDualInterface) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(vnl::LoadModuleTypeLibrary(::GetModuleHandleW(nullptr), library.put()), S_OK);

    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&libAttr), S_OK);
    EXPECT_TRUE(::IsEqualGUID(libAttr->guid, LIBID_TOOLBANDLib));
    EXPECT_EQ(libAttr->wMajorVerNum, 1);
    EXPECT_EQ(libAttr->wMinorVerNum, 0);
    library->ReleaseTLibAttr(libAttr);
    Documentation lib = DocumentationOf(library.get(), -1);
    EXPECT_EQ(lib.name, L"TOOLBANDLib");
    EXPECT_EQ(lib.help, L"VNLToolBand 1.0 Type Library");

    // The class: creatable, with the dual interface as its default.
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_VNLToolBandObj, coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attr->cImplTypes, 1);
    coclass->ReleaseTypeAttr(attr);
    Documentation cls = DocumentationOf(coclass.get(), MEMBERID_NIL);
    EXPECT_EQ(cls.name, L"VNLToolBandObj");
    EXPECT_EQ(cls.help, L"VNLToolBandObj Class");
    INT implFlags = 0;
    EXPECT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);

    // The interface: dual, automation-compatible, dispatchable, nothing of its
    // own beyond what IDispatch brings.
    ComPtr<ITypeInfo> dispatchView;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IToolBandObj, dispatchView.put()), S_OK);
    ASSERT_EQ(dispatchView->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE), TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(attr->cFuncs, 7) << "the three of IUnknown and the four of IDispatch";
    dispatchView->ReleaseTypeAttr(attr);
    Documentation itf = DocumentationOf(dispatchView.get(), MEMBERID_NIL);
    EXPECT_EQ(itf.name, L"IToolBandObj");
    EXPECT_EQ(itf.help, L"IToolBandObj Interface");

    HREFTYPE interfaceRef = 0;
    ASSERT_EQ(dispatchView->GetRefTypeOfImplType(-1, &interfaceRef), S_OK);
    ComPtr<ITypeInfo> interfaceView;
    ASSERT_EQ(dispatchView->GetRefTypeInfo(interfaceRef, interfaceView.put()), S_OK);
    ASSERT_EQ(interfaceView->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
              TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_EQ(attr->cbSizeVft, 7 * sizeof(void*));
    interfaceView->ReleaseTypeAttr(attr);

    // Its base is the system's IDispatch.
    HREFTYPE baseRef = 0;
    ASSERT_EQ(interfaceView->GetRefTypeOfImplType(0, &baseRef), S_OK);
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(interfaceView->GetRefTypeInfo(baseRef, base.put()), S_OK);
    ASSERT_EQ(base->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(::IsEqualGUID(attr->guid, IID_IDispatch));
    base->ReleaseTypeAttr(attr);
}

}  // namespace
