#include "runtime/fatal.h"
#include "ui/form_template_format.h"

namespace zorv::ui {

FormTemplate ReadFormTemplateOrFatal(std::span<const uint8_t> bytes) {
    auto form = ReadFormTemplate(bytes);
    if (!form) FatalRuntimeError("载入窗口模板数据段出错!");
    return std::move(*form);
}

}  // namespace zorv::ui
