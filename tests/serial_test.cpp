// SerialWriteString's line-end rule and polling, and what DebugPrint hands it.
#include <string>

#include "messages.h"
#include "platform_ports.h"
#include "port_io.h"
#include "port_io_fake.h"
#include "serial.h"
#include "trace_check.h"

namespace {

struct WriteCase {
  std::string Text;
  std::string Wire;
};

TEST(SerialWriteString, LineEndsAndOnePollPerByte) {
  const WriteCase Cases[] = {
      {"", ""},
      {"A", "A"},
      {"\n", "\r\n"},
      {"\n\n", "\r\n\r\n"},
      {"\r\n", "\r\r\n"},
      {"\r", "\r"},
      {"ab\ncd\n", "ab\r\ncd\r\n"},
      {"\x7F\xFF\t", "\x7F\xFF\t"},
  };
  for (const uint32_t Busy : {0u, 1u, 4u}) {
    for (const WriteCase &Case : Cases) {
      SCOPED_TRACE(testing::Message() << VisibleText(Case.Text) << " busy " << Busy);
      PlatformModel Model({0xFF, Busy});
      {
        ScopedPlatform Attach(Model);
        SerialWriteString(Case.Text.c_str());
      }
      ExpectTrace(Model, TransmitScript(Case.Wire, Busy));
      EXPECT_EQ(Model.Line(), Case.Wire);
    }
  }
}

TEST(SerialWriteString, NullTouchesNoPort) {
  PlatformModel Model;
  ScopedPlatform Attach(Model);
  SerialWriteString(nullptr);
  EXPECT_TRUE(Model.Trace().empty());
}

// No timeout: a long-busy UART is polled until THRE shows, and THR stays untouched meanwhile.
TEST(SerialWriteString, PollsWithoutLimitWhileBusy) {
  constexpr uint32_t Polls = 100000;
  PlatformModel Model;
  Model.ScriptLsr(std::vector<uint8_t>(Polls, 0xDF)); // every bit but THRE
  {
    ScopedPlatform Attach(Model);
    SerialWriteString("Z");
  }
  // The busy polls are one run, then the ready poll and the THR write.
  ASSERT_EQ(Model.Trace().size(), 3u);
  EXPECT_EQ(Model.Trace()[0].Count, Polls);
  EXPECT_FALSE(Model.Trace()[1].IsWrite);
  EXPECT_EQ(Model.Line(), "Z");
  EXPECT_TRUE(Model.Faults().empty());
}

struct PollCase {
  const char *Name;
  bool (*Ready)(uint8_t Lsr);
  bool Faulty;
};

// Transmitters that wait on other LSR bits than THRE, written here against the port access
// the module uses: the model must record a fault for each and let each out of its poll loop.
TEST(SerialWriteString, OnlyThreMayMatterToThePoll) {
  constexpr int PollLimit = 64; // far above what the model needs to let a poller out
  const PollCase Cases[] = {
      {"THRE", [](uint8_t Lsr) { return (Lsr & 0x20) != 0; }, false},
      {"TEMT", [](uint8_t Lsr) { return (Lsr & 0x40) != 0; }, true},
      {"THRE and TEMT", [](uint8_t Lsr) { return (Lsr & 0x60) == 0x60; }, true},
      {"equals 0x60", [](uint8_t Lsr) { return Lsr == 0x60; }, true},
      {"equals 0x20", [](uint8_t Lsr) { return Lsr == 0x20; }, true},
  };
  for (const uint32_t Busy : {0u, 2u}) {
    for (const PollCase &Case : Cases) {
      SCOPED_TRACE(testing::Message() << Case.Name << " busy " << Busy);
      PlatformModel Model({0xFF, Busy});
      ScopedPlatform Attach(Model);
      for (const char Byte : std::string("AB")) {
        int Polls = 1;
        while (!Case.Ready(PortRead8(SERIAL_BASE + UART_LSR)) && Polls < PollLimit) {
          ++Polls;
        }
        ASSERT_LT(Polls, PollLimit);
        PortWrite8(SERIAL_BASE + UART_THR, static_cast<uint8_t>(Byte));
      }
      EXPECT_EQ(!Model.Faults().empty(), Case.Faulty) << testing::PrintToString(Model.Faults());
    }
  }
}

struct PrintCase {
  const char *Name;
  void (*Print)();
  std::string Wire;
};

std::string LongWire() {
  // The first 2047 characters of 60 lines of 49 'x' and a line feed: 40 whole lines, then 47
  // 'x'. Each line feed gains its CR.
  std::string Wire;
  for (int Line = 0; Line < 40; ++Line) {
    Wire += std::string(49, 'x') + "\r\n";
  }
  return Wire + std::string(47, 'x');
}

TEST(DebugPrint, FormatsThenSends) {
  static const std::string Long = [] {
    std::string Text;
    for (int Line = 0; Line < 60; ++Line) {
      Text += std::string(49, 'x') + "\n";
    }
    return Text;
  }();
  const PrintCase Cases[] = {
      {"banner", [] { DebugPrint("\nOEM_Init_COM OK\n"); }, "\r\nOEM_Init_COM OK\r\n"},
      {"arguments", [] { DebugPrint("%a=%d%c", "n", -3, '\n'); }, "n=-3\r\n"},
      {"NUL from %c ends the line", [] { DebugPrint("[%c]", 0); }, "["},
      {"null format", [] { DebugPrint(nullptr); }, ""},
      {"cut at 2047", [] { DebugPrint("%s", Long.c_str()); }, LongWire()},
  };
  for (const PrintCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    PlatformModel Model;
    {
      ScopedPlatform Attach(Model);
      Case.Print();
    }
    ExpectTrace(Model, TransmitScript(Case.Wire, 0));
  }
}

} // namespace
