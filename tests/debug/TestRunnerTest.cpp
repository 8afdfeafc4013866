// vexa-headless as a test runner and a debugging target: the shipped example
// test program passing and failing through --exit-on-trap, --break and
// --until-pc with their register dumps, the trace file with labels, and a
// scripted GDB client over a real socket.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "debug/GdbStub.h"
#include "support/TestFiles.h"

using namespace testing_support;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

extern char** environ;

namespace {

class TestRunner : public ::testing::Test {
protected:
    TempDir dir;
    // The program as the boot ROM, with its labels beside it as NAME.sym.
    void Boot(const std::string& program) {
        fs::copy_file(TestProgram("debug", program), dir / "prog.rom");
        fs::copy_file(TestProgram("debug", program).replace_extension(".sym"), dir / "prog.sym");
        WriteFileText(dir / "config.txt", "bootrom prog.rom\n");
    }
};

TEST_F(TestRunner, TheExampleTestProgramPassesAndItsBrokenTwinFails) {
    Boot("unittest_shipped");
    ProcessResult r = RunHeadless(dir.Path(), {"--exit-on-trap", "--frames", "50", "--screenshot", "end.png"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // The run ended at the trap, long before 50 frames, and still wrote everything.
    EXPECT_NE(r.out.find("frames: 0."), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir / "main.ram"));
    EXPECT_TRUE(fs::exists(dir / "end.png"));
    EXPECT_EQ(ReadFileBytes(dir / "main.ram")[0x8000], 0); // failures

    TempDir other;
    fs::copy_file(TestProgram("debug", "unittest_broken"), other / "prog.rom");
    WriteFileText(other / "config.txt", "bootrom prog.rom\n");
    r = RunHeadless(other.Path(), {"--exit-on-trap", "--frames", "50"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(ReadFileBytes(other / "main.ram")[0x8000], 1);
    // Without --exit-on-trap the trap keeps its old meaning: the run goes on.
    r = RunHeadless(other.Path(), {"--frames", "2"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("frames: 2.00"), std::string::npos) << r.out;
}

TEST_F(TestRunner, BreakAndUntilPcEndTheRunWithARegisterDump) {
    Boot("watch");
    // The label comes from prog.sym beside the boot ROM.
    ProcessResult r = RunHeadless(dir.Path(), {"--break", "inner", "--frames", "5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Breakpoint 1 at 0x0032 (inner)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("PC=0032 SP=effa"), std::string::npos) << r.err;
    r = RunHeadless(dir.Path(), {"--until-pc", "after_recurse", "--break", "nowhere+1"});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_NE(r.err.find("--break: unknown label 'nowhere'"), std::string::npos) << r.err;
    r = RunHeadless(dir.Path(), {"--until-pc", "after_recurse"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("PC=002b SP=f000"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("AF=77"), std::string::npos) << r.err;
}

TEST_F(TestRunner, TheTraceFileHoldsTheWindowAskedForWithLabels) {
    Boot("watch");
    WriteFileText(dir / "extra.sym", "marker = $0039\n");
    ProcessResult r = RunHeadless(dir.Path(), {"--trace", "run.trace", "--trace-from", "outer", "--trace-to",
                                               "after_outer", "--symbols", "extra.sym", "--frames", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string trace = ReadFileText(dir / "run.trace");
    // outer: push bc / call inner / inner: ld a,1 / ret / pop bc / ret / after_outer: ld a,0x77
    EXPECT_NE(trace.find("outer:\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("call   inner"), std::string::npos) << trace;
    EXPECT_NE(trace.find("002c  c5"), std::string::npos) << trace;
    EXPECT_NE(trace.find("after_outer:\n"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("after_recurse"), std::string::npos) << trace; // the window ended
    size_t lines = 0;
    for (char c : trace) lines += c == '\n';
    EXPECT_EQ(lines, 1u + 7u + 4u); // heading, seven instructions, four label lines
    r = RunHeadless(dir.Path(), {"--trace-from", "@3"});
    EXPECT_EQ(r.exitCode, 64);
}

// A scripted GDB client on a real socket against vexa-headless --gdb.
class GdbClient {
public:
    explicit GdbClient(uint16_t port) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~GdbClient() { ::close(fd); }
    void Raw(const std::string& bytes) { ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size())); }
    // Sends a packet and returns the payload of the reply (acks skipped).
    std::string Ask(const std::string& payload, int timeoutMs = 5000) {
        Raw(GdbFrame(payload));
        return Reply(timeoutMs);
    }
    std::string Reply(int timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            const size_t dollar = buffer.find('$');
            const size_t hash = buffer.find('#', dollar == std::string::npos ? 0 : dollar);
            if (dollar != std::string::npos && hash != std::string::npos && hash + 2 < buffer.size()) {
                std::string payload = buffer.substr(dollar + 1, hash - dollar - 1);
                buffer.erase(0, hash + 3);
                Raw("+");
                return payload;
            }
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char chunk[4096];
                const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) return "<closed>";
                buffer.append(chunk, static_cast<size_t>(n));
            }
        }
        return "<timeout>";
    }
    bool connected = false;
    int fd = -1;
    std::string buffer;
};

class HeadlessProcess {
public:
    HeadlessProcess(const fs::path& dir, std::vector<std::string> args) {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        args.insert(args.begin(), VEXA_HEADLESS_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const fs::path previous = fs::current_path();
        fs::current_path(dir);
        EXPECT_EQ(posix_spawn(&pid, VEXA_HEADLESS_EXE, &actions, nullptr, argv.data(), environ), 0);
        fs::current_path(previous);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        err = pipeFds[0];
    }
    ~HeadlessProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        ::close(err);
    }
    // The port from "GDB stub listening on 127.0.0.1:PORT".
    uint16_t Port() {
        std::string text;
        char c;
        while (text.find('\n') == std::string::npos && ::read(err, &c, 1) == 1) text.push_back(c);
        const size_t colon = text.rfind(':');
        return colon == std::string::npos ? 0 : static_cast<uint16_t>(std::stoi(text.substr(colon + 1)));
    }
    int Wait() {
        int status = 0;
        for (int i = 0; i < 500; ++i) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -2;
    }
    pid_t pid = -1;
    int err = -1;
};

std::string Le16(unsigned v) {
    char t[8];
    std::snprintf(t, sizeof t, "%02x%02x", v & 0xFF, (v >> 8) & 0xFF);
    return t;
}

TEST_F(TestRunner, AScriptedGdbClientDebugsTheProgram) {
    Boot("watch");
    HeadlessProcess vexa(dir.Path(), {"--gdb", "0"});
    const uint16_t port = vexa.Port();
    ASSERT_NE(port, 0);
    GdbClient gdb(port);
    ASSERT_TRUE(gdb.connected);
    EXPECT_NE(gdb.Ask("qSupported:multiprocess+;swbreak+;xmlRegisters=i386").find("qXfer:features:read+"),
              std::string::npos);
    EXPECT_EQ(gdb.Ask("QStartNoAckMode"), "OK");
    const std::string xml = gdb.Ask("qXfer:features:read:target.xml:0,3fff");
    EXPECT_EQ(xml[0], 'l');
    EXPECT_NE(xml.find("<architecture>z80</architecture>"), std::string::npos);
    EXPECT_NE(xml.find("org.gnu.gdb.z80.cpu"), std::string::npos);
    EXPECT_EQ(gdb.Ask("qAttached"), "1");
    EXPECT_EQ(gdb.Ask("qC"), "QC01");
    EXPECT_EQ(gdb.Ask("qfThreadInfo"), "m01");
    EXPECT_EQ(gdb.Ask("vCont?"), "vCont;c;C;s;S");
    EXPECT_EQ(gdb.Ask("?"), "S05"); // held at the start, before the first instruction
    std::string regs = gdb.Ask("g");
    ASSERT_EQ(regs.size(), 13u * 4 + 3 * 2);
    EXPECT_EQ(regs.substr(5 * 4, 4), "0000"); // pc
    // Breakpoint at inner, continue: the stop reply, then the registers.
    EXPECT_EQ(gdb.Ask("Z0,32,1"), "OK");
    EXPECT_EQ(gdb.Ask("c"), "T05swbreak:;thread:01;");
    regs = gdb.Ask("g");
    EXPECT_EQ(regs.substr(5 * 4, 4), Le16(0x0032));
    EXPECT_EQ(gdb.Ask("p5"), Le16(0x0032));
    // One step runs ld a,1.
    EXPECT_EQ(gdb.Ask("s"), "T05thread:01;");
    EXPECT_EQ(gdb.Ask("p0").substr(2, 2), "01"); // A, the high byte of af
    EXPECT_EQ(gdb.Ask("z0,32,1"), "OK");
    // A write watchpoint on the second recursion level's return address slot
    // would be obscure; watch 0x8200 instead, which after_outer writes.
    EXPECT_EQ(gdb.Ask("Z2,8200,1"), "OK");
    EXPECT_EQ(gdb.Ask("c"), "T05watch:8200;thread:01;");
    EXPECT_EQ(gdb.Ask("m8200,1"), "77");
    EXPECT_EQ(gdb.Ask("z2,8200,1"), "OK");
    // Memory through the paging, writes, binary writes and the limits.
    EXPECT_EQ(gdb.Ask("Ma000,3:414243"), "OK");
    EXPECT_EQ(gdb.Ask("ma000,3"), "414243");
    EXPECT_EQ(gdb.Ask("Xa003,0:"), "OK");
    EXPECT_EQ(gdb.Ask("mfffe,10"), gdb.Ask("mfffe,2")); // a read stops at the top of memory
    EXPECT_EQ(gdb.Ask("m10000,1"), "E14");
    EXPECT_EQ(gdb.Ask("mffffffffffff,1"), "E01");
    EXPECT_EQ(gdb.Ask("m0,ffffffff").size(), GdbPacketReader::MaxPayload);
    // Registers written back are what the machine runs with.
    EXPECT_EQ(gdb.Ask("P1=3412"), "OK");
    EXPECT_EQ(gdb.Ask("p1"), "3412");
    // A second client is turned away politely while the first stays.
    {
        GdbClient second(port);
        EXPECT_NE(second.Reply().find("another debugger is attached"), std::string::npos);
    }
    // Garbage and a bad checksum change nothing.
    gdb.Raw("$g#00garbage+++---");
    EXPECT_EQ(gdb.Ask("qRcmd," + GdbHex("reset")).empty(), false);
    EXPECT_EQ(gdb.Ask("p5"), "0000"); // the cold boot left it at 0, stopped
    // Continue, interrupt with 0x03.
    gdb.Raw(GdbFrame("c"));
    std::this_thread::sleep_for(50ms);
    gdb.Raw("\x03");
    EXPECT_EQ(gdb.Reply(), "T02thread:01;");
    gdb.Raw(GdbFrame("k"));
    EXPECT_EQ(vexa.Wait(), 0);
    EXPECT_TRUE(fs::exists(dir / "main.ram")); // a kill still ends the run properly
}

TEST_F(TestRunner, AClientThatVanishesMidPacketLetsTheMachineRunOn) {
    Boot("watch");
    HeadlessProcess vexa(dir.Path(), {"--gdb", "0", "--frames", "20"});
    const uint16_t port = vexa.Port();
    {
        GdbClient gdb(port);
        ASSERT_TRUE(gdb.connected);
        EXPECT_EQ(gdb.Ask("Z0,32,1"), "OK");
        gdb.Raw("$m0,4#"); // and gone
    }
    // Its breakpoint went with it and the run completes its 20 frames.
    EXPECT_EQ(vexa.Wait(), 0);
    EXPECT_EQ(ReadFileBytes(dir / "main.ram")[0x8200], 0x77);
}

} // namespace
