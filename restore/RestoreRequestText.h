// The restore request's template and names, shared by every program that restores.
#pragma once

#include "tavengine/RestoreRequestNames.h"

namespace tavctl::restoretext {

// The restore request every restore starts from (as the browser fills it in).
constexpr const char* REQUEST_TEMPLATE =
    "<?xml version='1.0' encoding='UTF-8'?><tav-restore>\t<restore baseline='#00000001' "
    "command='#00010008' location=''/>\t<excluded/></tav-restore>";
using namespace tavrequest;

}  // namespace tavctl::restoretext
