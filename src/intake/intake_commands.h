// The three commands that take copied results into the result store.
#pragma once

namespace kelvora::intake {

void DanKQXS();
void DanKQXSNgay();
void DanKQXSDB();

}  // namespace kelvora::intake
