#include "driver/tools/untTypes.h"

#include "untCodePage.h"

#include <stdexcept>

TSearchObject::TSearchObject() {
    TComPtr<IClassFactory> factory;
    HRESULT result = DllGetClassObject(CLSID_Trelmo, IID_IClassFactory, factory.Put());
    if (SUCCEEDED(result))
        result = factory->CreateInstance(nullptr, IID_ITrelmo, Object.Put());
    if (FAILED(result) || !Object)
        throw std::runtime_error(Ansi("Не удалось создать объект драйвера для поиска"));
}
