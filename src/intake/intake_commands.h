// The three commands that take copied results into the result store.
#pragma once

#include "host/session.h"

namespace kelvora::intake {

// The notice of DanKQXSDB when every draw of its text is stored already
// (stored as Telex, as the engine's messages are). The table intakes show
// none in the component; the command-line tool gives it for all three.
inline constexpr char16_t kNothingNew[] = u"Khoong cos duwx lieeju mowsi dduowjc theem vafo";

void DanKQXS(host::Session& session);
void DanKQXSNgay(host::Session& session);
void DanKQXSDB(host::Session& session);

}  // namespace kelvora::intake
