// The body of interface ITrelmo in the type library, from the member list: GenerateIdl.cmake runs
// the host's C preprocessor over this file and puts the result into TrelmoLib.idl.in. The
// preprocessor cannot write line breaks, so "@" ends each line of the output.
#define TRELMO_IDL_Long long
#define TRELMO_IDL_Boolean VARIANT_BOOL
#define TRELMO_IDL_String BSTR
#define TRELMO_IDL_Variant VARIANT
#define TRELMO_IDL_Date DATE

#define TRELMO_IDL_Procedure(Name, DispId, Type, Russian)                                          \
    [id(DispId), helpstring(Russian)] @ HRESULT Name(void); @
#define TRELMO_IDL_Method(Name, DispId, Type, Russian)                                             \
    [id(DispId), helpstring(Russian)] @ HRESULT Name([out, retval] long* Value); @
#define TRELMO_IDL_ReadOnly(Name, DispId, Type, Russian)                                           \
    [propget, id(DispId), helpstring(Russian)] @                                                   \
    HRESULT Name([out, retval] TRELMO_IDL_##Type* Value); @
#define TRELMO_IDL_ReadWrite(Name, DispId, Type, Russian)                                          \
    TRELMO_IDL_ReadOnly(Name, DispId, Type, Russian)                                               \
    [propput, id(DispId), helpstring(Russian)] @ HRESULT Name([in] TRELMO_IDL_##Type Value); @

#define MEMBER(Name, DispId, Access, Type, Russian, ...)                                           \
    TRELMO_IDL_##Access(Name, DispId, Type, Russian)
#include "untMemberList.h"
