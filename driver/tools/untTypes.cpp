#include "driver/tools/untTypes.h"

#include "untCodePage.h"

#include <stdexcept>

TSearchObject::TSearchObject() {
    IClassFactory* factory = nullptr;
    HRESULT result =
        DllGetClassObject(CLSID_Trelmo, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(result)) {
        result = factory->CreateInstance(nullptr, IID_ITrelmo, reinterpret_cast<void**>(&Object));
        factory->Release();
    }
    if (FAILED(result) || !Object)
        throw std::runtime_error(Ansi("Не удалось создать объект драйвера для поиска"));
}

TSearchObject::~TSearchObject() {
    if (Object)
        Object->Release();
}
