#include "fakes.h"

#include "outside/helper_components.h"
#include "settings/number_text.h"

namespace fakes {

Text PlainValueFormat::TextOf(const Value& value) {
  if (const Text* text = value.AsText()) return *text;
  if (value.IsEmpty() || value.IsNull()) return Text();
  if (const double* number = value.AsDouble()) return settings::NumberText(*number);
  if (const auto* integer = value.AsInteger()) return common::IntegerText(integer->value);
  if (const bool* flag = value.AsBool()) return *flag ? u"True" : u"False";
  throw common::AutomationError(13, u"Type mismatch");
}

FakePlatform::FakePlatform() {
  objects.classes[outside::kRunTimeProgId] = [this] { return MakeRunTime(environment); };
  objects.classes[outside::kIniFileHandlerProgId] = [] { return std::make_shared<ScriptedObject>(); };
}

}  // namespace fakes
