#include <iostream>
#include <memory>
#include <string>

#include "i18n.h"
#include "numbersets/number_sets.h"
#include "numbersets/set_size_error.h"
#include "numbersets/sha256.h"
#include "text/utf.h"
#include "verbs.h"

namespace kelvora::tool {

void AddNumberVerbs(CLI::App& app, int& exit_status) {
  using numbersets::CSHA256;

  auto text = std::make_shared<std::string>();
  auto* digest = app.add_subcommand(
      "digest", _("Print the SHA-256 digest of a text, one byte per UTF-16 code unit"));
  digest->add_option("TEXT", *text, _("the text to hash"))->required();
  digest->callback([text, &exit_status] {
    std::cout << Utf16ToUtf8(CSHA256().DigestHex(Utf8ToUtf16(*text))) << '\n';
    exit_status = kExitOk;
  });

  struct NumbersArgs {
    int width = 0;
    int64_t size = 0;
    std::string seed;
  };
  auto args = std::make_shared<NumbersArgs>();
  auto* numbers =
      app.add_subcommand("numbers", _("Print the set of distinct numbers drawn from a seed text"));
  numbers->add_option("--width", args->width, _("digits per number: 1, 2 or 3"))->required();
  numbers->add_option("--size", args->size, _("how many numbers: 1 to 10, 100 or 1000"))
      ->required();
  numbers->add_option("SEED", args->seed, _("the seed text"))->required();
  numbers->callback([args, &exit_status] {
    if (args->width < 1 || args->width > 3) {
      std::cerr << _("kelvora numbers: --width must be 1, 2 or 3") << '\n';
      exit_status = kExitUsage;
      return;
    }
    const int64_t universe = args->width == 1 ? 10 : args->width == 2 ? 100 : 1000;
    if (args->size < 1 || args->size > universe) {
      std::cerr << Fill(_("kelvora numbers: --size must be between 1 and {1} for width {2}"),
                        {universe, args->width})
                << '\n';
      exit_status = kExitUsage;
      return;
    }
    try {
      const std::u16string seed = Utf8ToUtf16(args->seed);
      const auto size = static_cast<int32_t>(args->size);
      const std::u16string set = args->width == 1   ? numbersets::BuildDigitSet(seed, size)
                                 : args->width == 2 ? numbersets::BuildPairSet(seed, size)
                                                    : numbersets::BuildTripleSet(seed, size);
      std::cout << Utf16ToUtf8(set) << '\n';
      exit_status = kExitOk;
    } catch (const numbersets::SetSizeError& e) {
      std::cerr << Fill(_("kelvora numbers: {1}"), {std::string(e.what())}) << '\n';
      exit_status = kExitFailed;
    }
  });
}

}  // namespace kelvora::tool
