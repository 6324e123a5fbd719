#include <iostream>
#include <string>

#include "i18n.h"
#include "text/telex.h"
#include "text/utf.h"
#include "verbs.h"

namespace kelvora::tool {

void AddTextVerbs(CLI::App& app, int& exit_status) {
  auto text = std::make_shared<std::string>();
  auto* telex = app.add_subcommand("telex", _("Print a stored Telex text decoded to Unicode"));
  telex->add_option("TEXT", *text, _("the Telex text"))->required();
  telex->callback([text, &exit_status] {
    std::cout << Utf16ToUtf8(TelexToUnicode(Utf8ToUtf16(*text))) << '\n';
    exit_status = kExitOk;
  });
}

}  // namespace kelvora::tool
