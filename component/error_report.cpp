#include "component/error_report.h"

#include <new>

namespace component {

common::Text ErrorReportTitle(int32_t number, TextView method) {
  common::Text title = common::IntegerText(number);
  title += u" -";
  title += method;
  return title;
}

common::AutomationError ErrorFromException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const common::AutomationError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return common::AutomationError(7, u"Out of memory");
  } catch (const std::exception& e) {
    return common::AutomationError(51, u"Internal error: " + common::FromUtf8(e.what()));
  } catch (...) {
    return common::AutomationError(51, u"Internal error");
  }
}

}  // namespace component
