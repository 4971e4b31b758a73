#include "reports/forms/frm_reportset.h"

namespace reports {

frm_reportset::frm_reportset() : PlaceholderWindow("Report settings") {}

}  // namespace reports
