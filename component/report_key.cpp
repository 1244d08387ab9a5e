#include "component/report_key.h"

namespace component {

common::Text NextReportKey(common::TextView key) {
  common::Text next(key);
  for (size_t i = next.size(); i-- > 0;) {
    char16_t& c = next[i];
    if ((c >= u'A' && c <= u'Y') || (c >= u'a' && c <= u'y')) {
      ++c;
      return next;
    }
    if (c == u'Z') c = u'A';
    else if (c == u'z') c = u'a';
    // any other character: the carry passes over it
  }
  return common::Text(key.size() + 1, u'A');
}

}  // namespace component
