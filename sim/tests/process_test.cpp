// The qd40sim program seen from MODBUS masters that are not ours: mbpoll and
// libmodbus over TCP, mbpoll and raw frames over the pseudo-terminal; faults,
// several masters, permanent memory and clean stop.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/runtime.h"
#include "testing/sim_process.h"

namespace {

using qd40::testing::SimProcess;
using Clock = std::chrono::steady_clock;

// Runs a command, returns its standard output and exit status.
std::string run(const std::string& cmd, int& status) {
    std::string out;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) {
        status = -1;
        return out;
    }
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    status = ::pclose(p);
    return out;
}

struct ModbusDeleter {
    void operator()(modbus_t* c) const {
        modbus_close(c);
        modbus_free(c);
    }
};
using Ctx = std::unique_ptr<modbus_t, ModbusDeleter>;

Ctx tcpMaster(const SimProcess& sim) {
    Ctx c(modbus_new_tcp(sim.tcpAddress().c_str(), sim.tcpPort()));
    EXPECT_NE(c, nullptr);
    modbus_set_response_timeout(c.get(), 1, 0);
    EXPECT_EQ(modbus_connect(c.get()), 0) << modbus_strerror(errno);
    return c;
}

int command(modbus_t* c, std::vector<uint16_t> block) {
    return modbus_write_registers(c, 44000, int(block.size()), block.data());
}

uint16_t moduleError(modbus_t* c) {
    uint16_t v = 0xFFFF;
    EXPECT_EQ(modbus_read_input_registers(c, 44198, 1, &v), 1);
    return v;
}

TEST(SimProcessTest, MbpollReadsAndWritesTheMapOverTcp) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string base =
        "timeout 20 mbpoll -0 -1 -o 2 -m tcp -p " + std::to_string(sim.tcpPort()) + " -a 1 ";
    int status = 0;
    std::string out = run(base + "-t 3:hex -r 651 -c 2 127.0.0.1", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("[651]: \t0x4205"), std::string::npos) << out;
    EXPECT_NE(out.find("[652]: \t0x4100"), std::string::npos) << out;
    // Command 3 (remote) is accepted; each mbpoll call is a connection of its
    // own, which gives the control back when it ends, so a configuration write
    // by the next call is refused (exception 4).
    out = run(base + "-t 4 -r 44000 127.0.0.1 3", status);
    EXPECT_EQ(status, 0) << out;
    out = run(base + "-t 4 -r 5000 127.0.0.1 24", status);
    EXPECT_NE(out.find("Slave device or server failure"), std::string::npos) << out;
    out = run(base + "-t 4 -r 901 127.0.0.1 7", status);
    EXPECT_EQ(status, 0) << out;
    out = run(base + "-t 4 -r 901 -c 1 127.0.0.1", status);
    EXPECT_NE(out.find("[901]: \t7"), std::string::npos) << out;
    out = run(base + "-t 4 -r 1900 -c 2 127.0.0.1", status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("Illegal data address"), std::string::npos) << out;
}

TEST(SimProcessTest, MbpollReadsAndWritesTheMapOverThePseudoTerminal) {
    SimProcess::Options o;
    o.tcp = false;
    o.rtu = true;
    o.args = {"--slave", "7"};
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    int status = 0;
    const std::string base = "timeout 20 mbpoll -0 -1 -o 2 -m rtu -b 19200 -P none -a 7 ";
    std::string out = run(base + "-t 3:hex -r 1019 " + sim.rtuPath(), status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("[1019]: \t0xB052"), std::string::npos) << out;
    // Writes: register 901 needs no remote control, the global word does.
    out = run(base + "-t 4 -r 901 " + sim.rtuPath() + " 7", status);
    EXPECT_EQ(status, 0) << out;
    out = run(base + "-t 4 -r 901 -c 1 " + sim.rtuPath(), status);
    EXPECT_NE(out.find("[901]: \t7"), std::string::npos) << out;
    out = run(base + "-t 4 -r 5000 " + sim.rtuPath() + " 24", status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("Slave device or server failure"), std::string::npos) << out;
}

TEST(SimProcessTest, SeveralTcpMastersShareTheModuleWithRemoteControlPerConnection) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    Ctx a = tcpMaster(sim), b = tcpMaster(sim);
    uint16_t code = 3;
    ASSERT_EQ(modbus_write_register(a.get(), 44000, code), 1);
    uint16_t sa = 0, sb = 0;
    ASSERT_EQ(modbus_read_registers(a.get(), 6000, 1, &sa), 1);
    ASSERT_EQ(modbus_read_registers(b.get(), 6000, 1, &sb), 1);
    EXPECT_EQ(sa & 0xC000, 0xC000);
    EXPECT_EQ(sb & 0xC000, 0x4000);
    EXPECT_EQ(modbus_write_register(b.get(), 5000, 0), -1);
    EXPECT_EQ(errno, EMBXSFAIL);
    EXPECT_EQ(moduleError(b.get()), 19);
    // When the holder disconnects, the control is free again.
    a.reset();
    for (auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end;) {
        ASSERT_EQ(modbus_read_registers(b.get(), 6000, 1, &sb), 1);
        if (!(sb & 0x4000))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(sb & 0x4000, 0);
}

// Sends one raw MODBUS/TCP request for unit `unit` and returns the unit
// number of the answer (-1 without an answer).
int rawTcpUnit(const SimProcess& sim, uint8_t unit) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(sim.tcpPort()));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int result = -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        const uint8_t req[12] = {0, 7, 0, 0, 0, 6, unit, 3, 0x03, 0x85, 0, 1};
        uint8_t ans[11];
        pollfd pfd{fd, POLLIN, 0};
        if (::send(fd, req, sizeof req, 0) == 12 && ::poll(&pfd, 1, 2000) == 1 &&
            ::recv(fd, ans, sizeof ans, MSG_WAITALL) == 11)
            result = ans[6];
    }
    ::close(fd);
    return result;
}

TEST(SimProcessTest, FaultsChangeWhileRunning) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    Ctx c = tcpMaster(sim);
    uint16_t v = 0;
    ASSERT_TRUE(sim.setFaults("refuse_writes 41"));
    EXPECT_EQ(modbus_write_register(c.get(), 901, 1), -1);
    EXPECT_EQ(errno, EMBXSFAIL);
    EXPECT_EQ(moduleError(c.get()), 41);
    EXPECT_EQ(modbus_read_registers(c.get(), 901, 1, &v), 1);

    ASSERT_TRUE(sim.setFaults("delay 300"));
    auto t0 = Clock::now();
    EXPECT_EQ(modbus_read_registers(c.get(), 901, 1, &v), 1);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(280));

    // Faults aimed at one request: the others are answered as usual.
    ASSERT_TRUE(sim.setFaults("drop_at R3 901"));
    modbus_set_response_timeout(c.get(), 0, 300'000);
    EXPECT_EQ(modbus_read_registers(c.get(), 901, 1, &v), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_EQ(modbus_read_registers(c.get(), 108, 1, &v), 1);
    EXPECT_EQ(modbus_read_input_registers(c.get(), 901, 1, &v), -1);  // another function
    EXPECT_NE(errno, ETIMEDOUT);

    // An exception answered without acting, and a drop that hits only the
    // first request so that the retry gets its answer.
    ASSERT_TRUE(sim.setFaults("exception_at W6 901 3\nfirst_only drop_at R3 901\n"));
    EXPECT_EQ(modbus_write_register(c.get(), 901, 5), -1);
    EXPECT_EQ(errno, EMBXILVAL);
    EXPECT_EQ(modbus_read_registers(c.get(), 901, 1, &v), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
    ASSERT_EQ(modbus_read_registers(c.get(), 901, 1, &v), 1);
    EXPECT_EQ(v, 0);  // neither refused write changed it

    ASSERT_TRUE(sim.setFaults("wrong_slave_at R3 901"));
    EXPECT_NE(rawTcpUnit(sim, 5), 5);
    ASSERT_TRUE(sim.setFaults("wrong_slave_at R3 902"));
    EXPECT_EQ(rawTcpUnit(sim, 5), 5);

    ASSERT_TRUE(sim.setFaults("close_after 2"));
    c = tcpMaster(sim);
    EXPECT_EQ(modbus_read_registers(c.get(), 901, 1, &v), 1);
    EXPECT_EQ(modbus_read_registers(c.get(), 901, 1, &v), 1);
    EXPECT_EQ(modbus_read_registers(c.get(), 901, 1, &v), -1);

    ASSERT_TRUE(sim.setFaults("off 1"));
    c = tcpMaster(sim);
    modbus_set_response_timeout(c.get(), 0, 300'000);
    EXPECT_EQ(modbus_read_registers(c.get(), 901, 1, &v), -1);
    // A module that is off does not act on what it is sent either.
    EXPECT_EQ(modbus_write_register(c.get(), 901, 9), -1);

    ASSERT_TRUE(sim.setFaults(""));
    c = tcpMaster(sim);
    ASSERT_EQ(modbus_read_registers(c.get(), 901, 1, &v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(modbus_write_register(c.get(), 901, 2), 1);
    EXPECT_FALSE(sim.setFaults("nonsense 1"));
}

// Raw RTU master on the pseudo-terminal.
class RawLine {
public:
    explicit RawLine(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(fd_, 0) << path;
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
        ::tcflush(fd_, TCIOFLUSH);
    }
    ~RawLine() { ::close(fd_); }
    void send(std::vector<uint8_t> frame) {
        const uint16_t crc = qd40::sim::crc16(frame.data(), frame.size());
        frame.push_back(uint8_t(crc));
        frame.push_back(uint8_t(crc >> 8));
        ASSERT_EQ(::write(fd_, frame.data(), frame.size()), ssize_t(frame.size()));
    }
    // Reads until `n` bytes are in or the time-out passes.
    std::vector<uint8_t> receive(size_t n, int timeoutMs = 2000) {
        std::vector<uint8_t> got;
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n && Clock::now() < end) {
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            uint8_t buf[256];
            const ssize_t r = ::read(fd_, buf, sizeof buf);
            if (r > 0)
                got.insert(got.end(), buf, buf + r);
        }
        return got;
    }

private:
    int fd_ = -1;
};

TEST(SimProcessTest, RtuLineEchoesPacesAndInjectsFrameFaults) {
    SimProcess::Options o;
    o.tcp = false;
    o.rtu = true;
    o.args = {"--echo", "--wire-baud", "9600"};
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    RawLine line(sim.rtuPath());
    const std::vector<uint8_t> req{1, 4, 0x03, 0xFB, 0, 1};  // input 1019
    const auto t0 = Clock::now();
    line.send(req);
    const auto got = line.receive(8 + 7);
    const auto elapsed = Clock::now() - t0;
    ASSERT_EQ(got.size(), 15u);
    // The echo of the request first, then the answer with a valid CRC.
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 6), req);
    const std::vector<uint8_t> ans(got.begin() + 8, got.end());
    EXPECT_EQ(std::vector<uint8_t>(ans.begin(), ans.begin() + 5),
              (std::vector<uint8_t>{1, 4, 2, 0xB0, 0x52}));
    EXPECT_EQ(qd40::sim::crc16(ans.data(), 5), uint16_t(ans[5] | ans[6] << 8));
    // 8 + 3.5 + 7 characters of 10 bits at 9600 baud: about 19 ms.
    EXPECT_GE(elapsed, std::chrono::milliseconds(18));

    // A request for another slave or with a bad CRC is echoed, never answered.
    line.send({2, 4, 0x03, 0xFB, 0, 1});
    EXPECT_EQ(line.receive(9, 300).size(), 8u);

    ASSERT_TRUE(sim.setFaults("bad_crc_at R4 1019"));
    line.send(req);
    auto bad = line.receive(15);
    ASSERT_EQ(bad.size(), 15u);
    EXPECT_NE(qd40::sim::crc16(bad.data() + 8, 5), uint16_t(bad[13] | bad[14] << 8));

    ASSERT_TRUE(sim.setFaults("wrong_slave_at R4 1019"));
    line.send(req);
    bad = line.receive(15);
    ASSERT_EQ(bad.size(), 15u);
    EXPECT_NE(bad[8], 1);

    // Slow bytes: the seven bytes of the answer come 40 ms apart.
    ASSERT_TRUE(sim.setFaults("byte_gap 40"));
    const auto t1 = Clock::now();
    line.send(req);
    const auto slow = line.receive(15);
    ASSERT_EQ(slow.size(), 15u);
    EXPECT_GE(Clock::now() - t1, std::chrono::milliseconds(6 * 40));
    EXPECT_EQ(std::vector<uint8_t>(slow.begin() + 8, slow.end()), ans);
}

TEST(SimProcessTest, TimeScaleRunsAcquisitionAndClockFasterAndPreloadFillsABlock) {
    SimProcess::Options o;
    o.args = {"--time-scale", "100", "--preload", "3:500"};
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    Ctx c = tcpMaster(sim);
    uint16_t count[2] = {0, 0};
    ASSERT_EQ(modbus_read_registers(c.get(), 5272, 2, count), 2);  // block 3
    EXPECT_EQ(count[0], 500);
    ASSERT_EQ(command(c.get(), {3, 0}), 2);
    // The preloaded block holds data and is not re-openable: RUN needs an option.
    ASSERT_EQ(command(c.get(), {1, 0}), -1);
    EXPECT_EQ(moduleError(c.get()), 62);
    ASSERT_EQ(command(c.get(), {29, 1, 2}), 3);
    uint16_t t0[3], t1[3];
    ASSERT_EQ(modbus_read_registers(c.get(), 1015, 3, t0), 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // 30 s of module time
    ASSERT_EQ(modbus_read_registers(c.get(), 1015, 3, t1), 3);
    auto seconds = [](const uint16_t* t) {
        return (t[1] & 0xFF) * 3600 + (t[2] >> 8) * 60 + (t[2] & 0xFF);
    };
    const int elapsed = (seconds(t1) - seconds(t0) + 86400) % 86400;
    EXPECT_GE(elapsed, 25);
    EXPECT_LE(elapsed, 60);
    ASSERT_EQ(modbus_read_registers(c.get(), 5268, 2, count), 2);  // block 1, 5 records a cycle
    EXPECT_GE(count[0], 25 * 5);
    EXPECT_EQ(count[0] % 5, 0);
    ASSERT_EQ(modbus_read_registers(c.get(), 5272, 2, count), 2);
    EXPECT_EQ(count[0], 500);  // not re-opened
}

TEST(SimProcessTest, PermanentMemorySurvivesRestartAndKeepsPlantedValues) {
    const std::string dir =
        std::filesystem::temp_directory_path() / ("qd40sim-state-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    struct Cleanup {
        std::string dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup{dir};
    const std::string state = dir + "/state";
    SimProcess::Options o;
    o.stateFile = state;
    {
        SimProcess sim(o);
        ASSERT_TRUE(sim.ok()) << sim.error();
        Ctx c = tcpMaster(sim);
        ASSERT_EQ(command(c.get(), {3, 0}), 2);
        const uint16_t ext[2] = {0x764F, 0x7869};
        ASSERT_EQ(modbus_write_registers(c.get(), 45000, 2, ext), 2);
        c.reset();
        EXPECT_TRUE(sim.stop());
    }
    {
        // A channel word the module would refuse, planted in the state file.
        FILE* f = std::fopen(state.c_str(), "a");
        ASSERT_NE(f, nullptr);
        std::fputs("holding 2000 00F9\n", f);
        std::fclose(f);
        SimProcess sim(o);
        ASSERT_TRUE(sim.ok()) << sim.error();
        Ctx c = tcpMaster(sim);
        uint16_t ext[2] = {0, 0}, word = 0;
        ASSERT_EQ(modbus_read_registers(c.get(), 45000, 2, ext), 2);
        EXPECT_EQ(ext[0], 0x764F);
        EXPECT_EQ(ext[1], 0x7869);
        ASSERT_EQ(modbus_read_registers(c.get(), 2000, 1, &word), 1);
        EXPECT_EQ(word, 0x00F9);
    }
}

// The state file is replaced through a link, keeping the target's mode.
TEST(SimProcessTest, StateFileBehindALinkKeepsTheLinkAndItsTargetsMode) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qd40sim-link-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    struct Cleanup {
        std::filesystem::path dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup{dir};
    const auto target = dir / "kept", link = dir / "state";
    std::fclose(std::fopen(target.c_str(), "w"));
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    std::filesystem::create_symlink("kept", link);
    SimProcess::Options o;
    o.stateFile = link.string();
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    EXPECT_TRUE(sim.stop());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_GT(std::filesystem::file_size(target), 0u);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode_t(0604));
}

TEST(SimProcessTest, StopsCleanlyAndRemovesTheLineLink) {
    SimProcess::Options o;
    o.rtu = true;
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    struct stat st {};
    ASSERT_EQ(::lstat(sim.rtuPath().c_str(), &st), 0);
    EXPECT_TRUE(sim.stop());
    EXPECT_NE(::lstat(sim.rtuPath().c_str(), &st), 0);
}

TEST(SimProcessTest, BadOptionsAreReportedNotServed) {
    SimProcess::Options o;
    o.args = {"--fw-version", "B5"};
    o.startTimeoutMs = 3000;
    SimProcess sim(o);
    EXPECT_FALSE(sim.ok());
    EXPECT_NE(sim.error().find("did not report listening"), std::string::npos);
}

}  // namespace
