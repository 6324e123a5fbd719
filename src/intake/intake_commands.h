// The three commands that take copied results into the result store.
#pragma once

#include "host/session.h"

namespace kelvora::intake {

void DanKQXS(host::Session& session);
void DanKQXSNgay(host::Session& session);
void DanKQXSDB(host::Session& session);

}  // namespace kelvora::intake
