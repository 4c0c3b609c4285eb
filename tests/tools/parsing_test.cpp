// What a person types: numbers, hex bytes, command lines; and what the host prints.
#include <gtest/gtest.h>

#include "address_expression.h"
#include "command_line.h"
#include "image.h"
#include "numbers.h"
#include "options.h"
#include "output.h"
#include "progress_bar.h"

namespace vantrel::cli {
namespace {

TEST(NumberParsing, AcceptsHexDecimalAndSizesAndRefusesTheRest) {
  const struct {
    const char* text;
    std::optional<uint32_t> value;
  } cases[] = {
      {"0x8000", 0x8000},
      {"0X8000", 0x8000},
      {"32768", 32768},
      {"0", 0},
      {"4K", 4096},
      {"1m", 1u << 20},
      {"0xffffffff", 0xFFFFFFFFu},
      {"4294967295", 0xFFFFFFFFu},
      {"4294967296", std::nullopt},
      {"0x100000000", std::nullopt},
      {"4194304K", std::nullopt},
      {"", std::nullopt},
      {"0x", std::nullopt},
      {"K", std::nullopt},
      {"12z", std::nullopt},
      {"-1", std::nullopt},
      {"0x1g", std::nullopt},
      {"1 2", std::nullopt},
      {"00012", 12},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << c.text;
}

TEST(NumberParsing, HexBytesComeInPairsWithOrWithoutBlanks) {
  using Bytes = std::vector<unsigned char>;
  EXPECT_EQ(ParseHexBytes({"de", "ad", "BE", "ef"}), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(ParseHexBytes({"deadbeef", "0x01"}), (Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0x01}));
  EXPECT_EQ(ParseHexBytes({"de ad", " be\tef "}), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(ParseHexBytes({"abc"}), std::nullopt);
  EXPECT_EQ(ParseHexBytes({" "}), std::nullopt);
  EXPECT_EQ(ParseHexBytes({"zz"}), std::nullopt);
  EXPECT_EQ(ParseHexBytes({"0x"}), std::nullopt);
}

TEST(CommandLineSplitting, SemicolonsQuotesAndComments) {
  std::string error;
  using Commands = std::vector<Words>;
  EXPECT_EQ(*SplitLine("open; connect --big-endian", &error), (Commands{{"open"}, {"connect", "--big-endian"}}));
  EXPECT_EQ(*SplitLine("load \"my file.elf\" --verify", &error), (Commands{{"load", "my file.elf", "--verify"}}));
  EXPECT_EQ(*SplitLine("write 0 'a;b'", &error), (Commands{{"write", "0", "a;b"}}));
  EXPECT_EQ(*SplitLine("read 0 4   # the vectors; not a command", &error), (Commands{{"read", "0", "4"}}));
  EXPECT_EQ(*SplitLine("  ;; # only a comment", &error), Commands{});
  EXPECT_EQ(*SplitLine("reg \"\"", &error), (Commands{{"reg", ""}}));
  EXPECT_FALSE(SplitLine("load \"unclosed", &error));
  EXPECT_NE(error.find("unclosed"), std::string::npos);
}

TEST(CommandLineSplitting, ALineWithANulByteIsRefused) {
  std::string error;
  EXPECT_FALSE(SplitLine(std::string("version\0status", 14), &error));
  EXPECT_NE(error.find("NUL byte"), std::string::npos) << error;
  EXPECT_FALSE(SplitLine(std::string("\0", 1), &error));
}

// The program's options go before or after `gdbserver`; the server's own follow it.
TEST(ProgramOptions, GdbserverTakesTheProgramsOptionsOnEitherSide) {
  const struct {
    std::vector<std::string> words;
    bool ok;
    bool help;
    bool fast;
    std::vector<std::string> serverArguments;
  } cases[] = {
      {{"gdbserver", "--help"}, true, true, false, {}},
      {{"--fast", "gdbserver", "--listen", "3334"}, true, false, true, {"--listen", "3334"}},
      {{"gdbserver", "--listen", "3334", "--fast", "--client-timeout", "5"},
       true,
       false,
       true,
       {"--listen", "3334", "--client-timeout", "5"}},
      {{"gdbserver", "--semihosting", "--fast", "--semihosting-dir", "files"},
       true,
       false,
       true,
       {"--semihosting", "--semihosting-dir", "files"}},
      {{"gdbserver", "open"}, false, false, false, {}},
      {{"gdbserver", "--frobnicate"}, false, false, false, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> storage{"vantrel"};
    storage.insert(storage.end(), c.words.begin(), c.words.end());
    std::vector<char*> argv;
    for (std::string& word : storage) argv.push_back(word.data());
    Options options;
    std::string error;
    SCOPED_TRACE(storage[1] + " " + storage[2]);
    ASSERT_EQ(ParseOptions(static_cast<int>(argv.size()), argv.data(), &options, &error), c.ok) << error;
    if (!c.ok) continue;
    EXPECT_TRUE(options.gdbServer);
    EXPECT_EQ(options.help, c.help);
    EXPECT_EQ(options.fast, c.fast);
    EXPECT_EQ(options.serverArguments, c.serverArguments);
    EXPECT_TRUE(options.commands.empty());
  }
}

TEST(AddressExpressions, SymbolsWithOffsetsStayInsideTheAddressSpace) {
  const SymbolTable symbols({{"main", 0x84, 0x9C, false}, {"top", 0xFFFFFFF0u, 16, false}});
  const struct {
    const char* word;
    std::optional<uint32_t> value;
    const char* reason;
  } cases[] = {
      {"main", 0x84, ""},
      {"main+0x10", 0x94, ""},
      {"0xffffffff", 0xFFFFFFFFu, ""},
      {"top+15", 0xFFFFFFFFu, ""},
      {"top+16", std::nullopt, "'top+16' passes the end of the 32-bit address space"},
      {"main+0xFFFFFFFF", std::nullopt, "passes the end of the 32-bit address space"},
      {"main+", std::nullopt, "bad offset in 'main+'"},
      {"main+zz", std::nullopt, "bad offset"},
      {"nothing", std::nullopt, "no symbol 'nothing'"},
      {"12q", std::nullopt, "bad number '12q'"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(ParseAddressExpression(c.word, symbols, &error), c.value) << c.word;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.word << " gave: " << error;
  }
  std::string error;
  EXPECT_FALSE(ParseAddressExpression("main", SymbolTable(), &error));
  EXPECT_NE(error.find("no symbols are loaded"), std::string::npos) << error;
}

TEST(Output, HexDumpAlignsToSixteenByteLines) {
  const std::vector<unsigned char> bytes = {'R', 'E', 'S', 'U', 'L', 'T', 'S', 0, 1, 2};
  const auto lines = HexDumpLines(0x1188, bytes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "00001180                           52 45 53 55 4c 54 53 00  |        RESULTS.|");
  EXPECT_EQ(lines[1], "00001190  01 02                                             |..              |");
  EXPECT_EQ(HexDumpLines(0xFFFFFFF8, std::vector<unsigned char>(8, 0x41)).size(), 1u);
}

TEST(Output, StatusRegistersAreDecoded) {
  EXPECT_EQ(DescribePsr(0x600000D3), "nZCv IF ARM svc");
  EXPECT_EQ(DescribePsr(0x80000030), "Nzcv if Thumb usr");
  EXPECT_EQ(DescribePsr(0), "nzcv if ARM mode=0x00");
}

TEST(Output, ProgressBarShowsThePercentage) {
  EXPECT_EQ(ProgressBar::Render("load", 50, 10), "load  [#####-----]  50%");
  EXPECT_EQ(ProgressBar::Render("load", 250, 4), "load  [####] 100%");
}

TEST(Symbols, NameAnAddressByTheSymbolThatCoversIt) {
  const SymbolTable symbols({{"main", 0x84, 0x9C, false},
                             {"_start", 0x20, 0x40, false},
                             {"label", 0x200, 0, false},
                             {"after", 0x300, 4, false}});
  EXPECT_EQ(symbols.Describe(0x84), "main");
  EXPECT_EQ(symbols.Describe(0x90), "main+0xc");
  EXPECT_EQ(symbols.Describe(0x5C), "_start+0x3c");
  EXPECT_EQ(symbols.Describe(0x60), "");             // past _start's size, before main
  EXPECT_EQ(symbols.Describe(0x2FC), "label+0xfc");  // a label covers up to the next symbol
  EXPECT_EQ(symbols.Describe(0x304), "");
  EXPECT_EQ(symbols.Describe(0x10), "");
  ASSERT_NE(symbols.Find("main"), nullptr);
  EXPECT_EQ(symbols.Find("nothing"), nullptr);
}

}  // namespace
}  // namespace vantrel::cli
