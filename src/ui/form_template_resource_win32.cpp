#include "ui/form_template_resource_win32.h"

#include <windows.h>

#include <span>

#include "ui/form_template_format.h"

namespace zorv::ui {

namespace {

// The resource bytes of this program file; an empty span when absent.
// Resource memory lives as long as the module and needs no release.
std::span<const uint8_t> FormTemplateResourceBytes() {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, kFormTemplateResourceName, RT_RCDATA);
    if (!resource) return {};
    HGLOBAL loaded = LoadResource(module, resource);
    const DWORD size = SizeofResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return {};
    return {static_cast<const uint8_t*>(data), size};
}

}  // namespace

const FormTemplate& LoadFormTemplateFromResource() {
    // A missing resource reads as an empty block, which the reader refuses.
    static const FormTemplate form = ReadFormTemplateOrFatal(FormTemplateResourceBytes());
    return form;
}

}  // namespace zorv::ui
