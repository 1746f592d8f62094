#pragma once
// The form template embedded in the program file as an RCDATA resource
// (built by tools/form-pack, linked through the object library
// zorv_form_resource).
#include "ui/form_template.h"

namespace zorv::ui {

// Name of the RCDATA resource in the program file.
inline constexpr wchar_t kFormTemplateResourceName[] = L"ZORV_FORM";

// Reads and decodes the resource on the first call and returns the same
// template afterwards; a missing or unreadable template ends the program
// with the fatal error "载入窗口模板数据段出错!".
const FormTemplate& LoadFormTemplateFromResource();

}  // namespace zorv::ui
