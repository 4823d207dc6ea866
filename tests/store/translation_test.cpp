// The C library's side of the catalogues: a German session gets the German texts,
// the empty text stays empty rather than becoming the catalogue's header, and the
// bytes of a path go through a translated format unchanged, however long.
#include "store/translation.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace morrowby {
namespace {

// German for the length of a test, from the catalogues of the build folder; the C
// locale again after it, for the tests that read English.
class GermanSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    UseUserLanguage(MORROWBY_BUILD_LOCALE_DIR);
    if (std::setlocale(LC_MESSAGES, nullptr) == std::string("C"))
      GTEST_SKIP() << "no de_DE.UTF-8 locale (make test-deps makes it)";
  }
  void TearDown() override {
    unsetenv("LC_ALL");
    std::setlocale(LC_ALL, "C");
  }
};

TEST_F(GermanSessionTest, TextsComeFromTheCatalogueAndTheEmptyTextStaysEmpty) {
  EXPECT_STREQ(Tr("no file name"), "kein Dateiname");
  EXPECT_STREQ(Tr(""), "");
  EXPECT_STREQ(Tr("a text no catalogue has"), "a text no catalogue has");
}

TEST_F(GermanSessionTest, PathBytesGoThroughAFormatUnchangedAtAnyLength) {
  const std::string odd = "/tmp/\xff\xfe caf\xc3\xa9";
  EXPECT_EQ(TrFormat("the folder %s cannot be made", odd.c_str()),
            "der Ordner " + odd + " lässt sich nicht anlegen");
  const std::string deep(4000, 'd');
  EXPECT_EQ(TrFormat("the folder %s cannot be made", deep.c_str()),
            "der Ordner " + deep + " lässt sich nicht anlegen");
}

}  // namespace
}  // namespace morrowby
