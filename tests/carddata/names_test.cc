// SPDX-License-Identifier: Apache-2.0
#include "carddata/names.h"

#include <gtest/gtest.h>

namespace usborva::carddata {
namespace {

struct NameCase {
  const char* why;
  const char16_t* text;
  const char16_t* first;
  const char16_t* last;
};

TEST(NamesTest, FormatsAndFailures) {
  const NameCase cases[] = {
      {"reader text, padded name field",
       u"%B4111111111111111^DOE/JOHN Q.MR       ^2512101?;41=2512?", u"JOHN Q.MR", u"DOE"},
      {"surname padding stays", u"%B41^VAN DYKE  /DICK^25?", u"DICK", u"VAN DYKE  "},
      {"format A", u"%ADOE/JANE^X?", u"JANE", u"DOE"},
      {"format A starts at the first A", u"XA%ADOE/JANE^?", u"JANE", u"%ADOE"},
      {"no % but B first", u"B41^DOE/JO^?", u"JO", u"DOE"},
      {"no % but A first", u"ADOE/JO^?", u"JO", u"DOE"},
      {"empty text", u"", u"", u""},
      {"lower-case code", u"%b41^DOE/JO^?", u"", u""},
      {"other code", u"%C41^DOE/JO^?", u"", u""},
      {"% last", u"B41^DOE/JO^%", u"", u""},
      {"B without /", u"%B41^DOE JO^25?", u"", u""},
      {"B with / but no ^", u"%B41DOE/JO?", u"", u"%B41DOE"},
      {"B with / before ^", u"%B4/1^DOE^25?", u"1", u""},
      {"A without /", u"%ADOE JANE^?", u"", u""},
      {"^ before / is not the end", u"%B41^DOE/JO^", u"JO", u"DOE"},
      {"later track supplies the /", u"%B41^DOE JO^25?;X/Y^Z?", u"Y", u"DOE JO^25?;X"},
      {"missing given names", u"%B41^DOE/^25?", u"", u"DOE"},
      {"only U+0020 is trimmed", u"%B41^DOE/\tJO\t ^25?", u"\tJO\t", u"DOE"},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(ParseFirstName(c.text), c.first) << c.why;
    EXPECT_EQ(ParseLastName(c.text), c.last) << c.why;
  }
}

}  // namespace
}  // namespace usborva::carddata
