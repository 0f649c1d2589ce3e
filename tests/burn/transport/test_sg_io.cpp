// The SG_IO pass-through against a fake kernel: how host, driver and SCSI status, sense
// data (both formats) and residual counts become the transport's results, the time-out
// each command hands to the kernel, the kernel's addresses of the drives and the
// exclusive hold of a burn.

#include "burn/transport/scsi_transport.h"
#include "burn/transport/sense_data.h"
#include "burn/transport/sg_io.h"
#include "core/base/whole_file.h"
#include "tests/support/test_home.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

namespace {

// Sense data in the two formats for one key/ASC/ASCQ.
std::vector<uint8_t> fixedSense(uint8_t key, uint8_t asc, uint8_t ascq)
{
    std::vector<uint8_t> s(18, 0);
    s[0] = 0x70;
    s[2] = key;
    s[7] = 10;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

std::vector<uint8_t> descriptorSense(uint8_t key, uint8_t asc, uint8_t ascq)
{
    return {0x72, key, asc, ascq, 0, 0, 0, 0};
}

// One fake kernel for the whole test binary: its answers are set per test.
// The built-in layer over these device nodes only, no transport library.
TScsiTransportConfig kernelNodes(std::vector<std::string> nodes)
{
    TScsiTransportConfig config;
    config.deviceNodes = std::move(nodes);
    config.libraryNames = {};
    return config;
}

struct FakeKernel {
    // What the next SG_IO answers.
    int sgErrno = 0;
    unsigned host = 0, driver = 0;
    uint8_t status = 0;
    std::vector<uint8_t> sense;
    int resid = 0;
    // What the last SG_IO asked.
    unsigned timeout = 0;
    int direction = 0;
    unsigned length = 0;
    std::vector<uint8_t> cdb;
    // Per descriptor: the kernel address GET_IDLUN gives (-1: the ioctl fails).
    std::map<int, int> idlun, busNumber;
    // Nodes whose exclusive open fails with EBUSY.
    std::vector<std::string> heldNodes;
    std::vector<int> openFlags;
    std::map<int, std::string> nodeOf;
    std::string link;
    dev_t rdev = makedev(11, 0);
    std::string linkAsked;
    std::vector<int> fds;

    static FakeKernel& get()
    {
        static FakeKernel k;
        return k;
    }

    static int open(const char* path, int flags)
    {
        FakeKernel& k = get();
        k.openFlags.push_back(flags);
        for (const std::string& held : k.heldNodes)
            if (held == path && (flags & O_EXCL)) {
                errno = EBUSY;
                return -1;
            }
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        k.nodeOf[fd] = path;
        return fd;
    }

    static int ioctl(int fd, unsigned long request, void* arg)
    {
        FakeKernel& k = get();
        if (request == SG_IO) {
            auto* io = static_cast<sg_io_hdr_t*>(arg);
            k.timeout = io->timeout;
            k.direction = io->dxfer_direction;
            k.length = io->dxfer_len;
            k.cdb.assign(io->cmdp, io->cmdp + io->cmd_len);
            if (k.sgErrno) {
                errno = k.sgErrno;
                return -1;
            }
            if (io->cmdp[0] == 0x12 && io->dxferp) {  // INQUIRY at start: a CD/DVD drive
                auto* d = static_cast<uint8_t*>(io->dxferp);
                d[0] = 5;
                std::memcpy(d + 8, "FAKE    CD-ROM DRIVE    1.00", 28);
                io->status = 0;
                io->host_status = io->driver_status = 0;
                io->sb_len_wr = 0;
                io->resid = 0;
                return 0;
            }
            io->status = k.status;
            io->host_status = static_cast<unsigned short>(k.host);
            io->driver_status = static_cast<unsigned short>(k.driver);
            const std::size_t n = std::min<std::size_t>(k.sense.size(), io->mx_sb_len);
            if (n > 0)
                std::memcpy(io->sbp, k.sense.data(), n);
            io->sb_len_wr = static_cast<unsigned char>(n);
            io->resid = k.resid;
            return 0;
        }
        const std::string node = k.nodeOf[fd];
        const int key = node.empty() ? -1 : node.back() - '0';
        if (request == SCSI_IOCTL_GET_IDLUN && k.idlun.count(key) && k.idlun[key] >= 0) {
            static_cast<int*>(arg)[0] = k.idlun[key];
            return 0;
        }
        if (request == SCSI_IOCTL_GET_BUS_NUMBER && k.busNumber.count(key)) {
            *static_cast<int*>(arg) = k.busNumber[key];
            return 0;
        }
        errno = ENOTTY;
        return -1;
    }

    static std::string readLink(const std::string& path)
    {
        get().linkAsked = path;
        return get().link;
    }

    static int fstat(int, struct stat* st)
    {
        *st = {};
        st->st_mode = S_IFBLK | 0660;
        st->st_rdev = get().rdev;
        return 0;
    }
};

// GET_IDLUN's packed identifier.
int idlun(int host, int channel, int target, int lun)
{
    return target | (lun << 8) | (channel << 16) | (host << 24);
}

class SgIo : public ::testing::Test {
protected:
    void SetUp() override { FakeKernel::get() = FakeKernel(); }
    // One drive, at the kernel's 1:0:0:0, found and selected.
    void selectOneDrive()
    {
        node = folder.path("sr0").toStdString();
        ASSERT_TRUE(wholefile::Write(node, "", nullptr));
        kernel.idlun[0] = idlun(1, 0, 0, 0);
        transport = std::make_unique<TScsiTransport>(kernelNodes({node}));
        ASSERT_TRUE(transport->InitASPILayer(true));
        ASSERT_TRUE(transport->SelectDevice(transport->DeviceList().at(0)));
    }
    sgio::Calls calls{FakeKernel::open, FakeKernel::ioctl, FakeKernel::readLink, FakeKernel::fstat};
    sgio::ScopedCalls scoped{calls};
    FakeKernel& kernel = FakeKernel::get();
    TestHome folder;
    std::string node;  // the drive's device node
    std::unique_ptr<TScsiTransport> transport;
};

}  // namespace

TEST(SenseData, BothFormatsGiveTheSameCodes)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool valid;
        uint8_t key, asc, ascq;
    };
    std::vector<uint8_t> shortFixed = fixedSense(3, 0x0C, 0x00);
    shortFixed.resize(8);  // cut before the additional sense code
    std::vector<uint8_t> deferred = descriptorSense(2, 0x04, 0x08);
    deferred[0] = 0x73;
    std::vector<uint8_t> validBit = fixedSense(5, 0x24, 0);
    validBit[0] = 0xF0;
    const Case cases[] = {
        {"fixed", fixedSense(5, 0x24, 0x00), true, 5, 0x24, 0x00},
        {"fixed with the valid bit", validBit, true, 5, 0x24, 0x00},
        {"descriptor", descriptorSense(3, 0x0C, 0x00), true, 3, 0x0C, 0x00},
        {"deferred descriptor", deferred, true, 2, 0x04, 0x08},
        {"fixed, cut short", shortFixed, true, 3, 0x00, 0x00},
        {"no response code", {0x00, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24}, false, 0, 0, 0},
        {"vendor format", {0x7F, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24}, false, 0, 0, 0},
        {"empty", {}, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TSenseData d = DecodeSense(c.bytes);
        EXPECT_EQ(d.valid(), c.valid);
        EXPECT_EQ(d.key, c.key);
        EXPECT_EQ(d.asc, c.asc);
        EXPECT_EQ(d.ascq, c.ascq);
    }
    // A stream descriptor carries the filemark bits of a descriptor-format answer; a
    // descriptor whose length runs past the data is not read.
    const std::vector<uint8_t> stream = {0x72, 0, 0, 0, 0, 0, 0, 4, 0x04, 0x02, 0x00, 0x80};
    EXPECT_TRUE(DecodeSense(stream).filemark);
    const std::vector<uint8_t> cut = {0x72, 0, 0, 0, 0, 0, 0, 200, 0x04, 0x02};
    EXPECT_FALSE(DecodeSense(cut).filemark);
}

TEST(SenseData, ResultAndTextsReadDescriptorFormat)
{
    TScsiResult r;
    const std::vector<uint8_t> d = descriptorSense(2, 0x04, 0x08);
    std::copy(d.begin(), d.end(), r.sense.begin());
    EXPECT_EQ(r.senseKey(), 2);
    EXPECT_EQ(r.asc(), 0x04);
    EXPECT_EQ(r.ascq(), 0x08);
    r.ok = true;
    EXPECT_EQ(r.asc(), 0);

    aspi::SRB_ExecSCSICmd srb{};
    srb.h.SRB_Status = aspi::SS_ERR;
    srb.SRB_TargStat = sgio::kCheckCondition;
    const std::vector<uint8_t> write = descriptorSense(3, 0x0C, 0x00);
    std::copy(write.begin(), write.end(), srb.SenseArea);
    EXPECT_EQ(TScsiTransport::StatusText(srb, nullptr), "MEDIUM ERROR (WRITE ERROR)");
    srb.SenseArea[2] = srb.SenseArea[3] = 0;  // no codes: nothing to describe
    EXPECT_EQ(TScsiTransport::StatusText(srb, nullptr), "MEDIUM ERROR");
    srb.SenseArea[7] = 2;  // a vendor descriptor follows
    srb.SenseArea[8] = 0x80;
    srb.SenseArea[2] = 0x0C;
    EXPECT_EQ(TScsiTransport::StatusText(srb, nullptr), "MEDIUM ERROR (WRITE ERROR)");
}

TEST_F(SgIo, StatusesBecomeTheTransportsResults)
{
    struct Case {
        const char* name;
        int sgErrno;
        unsigned host, driver;
        uint8_t status;
        std::vector<uint8_t> sense;
        uint8_t srbStatus;
        std::string text;
        bool busy;
        uint8_t asc;
    };
    const Case cases[] = {
        {"good", 0, 0, 0, 0, {}, aspi::SS_COMP, "", false, 0},
        {"check condition, fixed sense", 0, 0, 0x08, 2, fixedSense(5, 0x24, 0), aspi::SS_ERR,
         "ILLEGAL REQUEST (INVALID FIELD IN CDB)", false, 0x24},
        {"check condition, descriptor sense", 0, 0, 0x08, 2, {0x72, 2, 0x04, 0x08, 0, 0, 0, 2, 0x80, 0},
         aspi::SS_ERR, "NOT READY (LOGICAL UNIT NOT READY, LONG WRITE IN PROGRESS)", false, 0x04},
        {"sense without a status", 0, 0, 0x08, 0, fixedSense(6, 0x28, 0), aspi::SS_ERR,
         "UNIT ATTENTION (NOT READY TO READY CHANGE, MEDIUM MAY HAVE CHANGED)", false, 0x28},
        {"busy", 0, 0, 0, 0x08, {}, aspi::SS_ERR, "TARGET BUSY", true, 0},
        {"host time-out", 0, 0x03, 0, 0, {}, aspi::SS_ERR, "TRANSPORT ERROR: TIME-OUT, HOST STATUS 03h", false, 0},
        {"host lost the drive", 0, 0x01, 0, 0, {}, aspi::SS_ERR, "TRANSPORT ERROR: HOST STATUS 01h", false, 0},
        {"driver time-out", 0, 0, 0x06, 0, {}, aspi::SS_ERR, "TRANSPORT ERROR: TIME-OUT, DRIVER STATUS 06h", false,
         0},
        {"ioctl refused", ENOMEDIUM, 0, 0, 0, {}, aspi::SS_ERR, "TRANSPORT ERROR: SG_IO FAILED (NO MEDIUM FOUND)",
         false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kernel.sgErrno = c.sgErrno;
        kernel.host = c.host;
        kernel.driver = c.driver;
        kernel.status = c.status;
        kernel.sense = c.sense;
        uint8_t sense[32] = {};
        const uint8_t cdb[10] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0};
        const sgio::Outcome o =
            sgio::Run(3, cdb, sgio::Direction::ToDevice, sense, 1, 120000, std::span<uint8_t>(sense, 32));
        aspi::SRB_ExecSCSICmd srb{};
        ToRequestBlock(o, sense, srb);
        EXPECT_EQ(srb.h.SRB_Status, c.srbStatus);
        bool busy = false;
        EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), c.text);
        EXPECT_EQ(busy, c.busy);
        TScsiResult r;
        std::memcpy(r.sense.data(), srb.SenseArea, r.sense.size());
        EXPECT_EQ(r.asc(), c.asc);
    }
}

TEST_F(SgIo, EachCommandTakesItsOwnTimeOutAndResidual)
{
    ASSERT_NO_FATAL_FAILURE(selectOneDrive());
    struct Case {
        std::vector<uint8_t> cdb;
        int timeoutMs;
    };
    const Case cases[] = {{{0x5B, 1, 2, 0, 0, 0, 0, 0, 0, 0}, 180000},
                          {{0x54, 1, 0, 0, 0, 0, 0, 0, 0, 0}, 150000},
                          {{0x35, 2, 0, 0, 0, 0, 0, 0, 0, 0}, 1800000},
                          {{0x00, 0, 0, 0, 0, 0}, 5000}};
    for (const Case& c : cases) {
        EXPECT_TRUE(transport->Command(c.cdb, 0, nullptr, 0, c.timeoutMs));
        EXPECT_EQ(kernel.timeout, static_cast<unsigned>(c.timeoutMs));
        EXPECT_EQ(kernel.cdb, c.cdb);
        EXPECT_EQ(kernel.direction, SG_DXFER_NONE);
    }
    kernel.resid = 1536;
    uint8_t data[2048];
    TScsiResult r;
    EXPECT_TRUE(transport->Command({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, aspi::SRB_DIR_IN, data, 2048, 10000, &r));
    EXPECT_EQ(kernel.direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(kernel.length, 2048u);
    EXPECT_EQ(r.residual, 1536u);
}

TEST_F(SgIo, DrivesGetTheKernelsAddresses)
{
    std::vector<std::string> nodes;
    for (int i = 0; i < 4; ++i) {
        nodes.push_back(folder.path("sr" + QString::number(i)).toStdString());
        ASSERT_TRUE(wholefile::Write(nodes.back(), "", nullptr));
    }
    kernel.idlun[0] = idlun(2, 0, 0, 0);
    kernel.idlun[1] = idlun(1, 0, 0, 0);
    kernel.idlun[2] = idlun(4, 0, 3, 1);
    kernel.busNumber[2] = 260;        // more than the identifier's 8 bits keep
    kernel.link = "../../../devices/pci0000:00/0000:00:01.1/ata2/host7/target7:0:0/7:0:0:0";  // sr3: sysfs only
    transport = std::make_unique<TScsiTransport>(kernelNodes(nodes));
    ASSERT_TRUE(transport->InitASPILayer(true));
    const std::vector<std::string> lines = transport->DeviceList();
    // Adapters are numbered in the order of the kernel's hosts, one digit each.
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 6 + nodes[1].size()), "0:0:0," + nodes[1]);
    EXPECT_EQ(lines[1].substr(0, 6 + nodes[0].size()), "1:0:0," + nodes[0]);
    EXPECT_EQ(lines[2].substr(0, 6 + nodes[3].size()), "2:0:0," + nodes[3]);
    EXPECT_EQ(lines[3].substr(0, 6 + nodes[2].size()), "3:3:1," + nodes[2]);
    EXPECT_EQ(transport->KernelAddress(lines[0]), "1:0:0:0");
    EXPECT_EQ(transport->KernelAddress(lines[1]), "2:0:0:0");
    EXPECT_EQ(transport->KernelAddress(lines[2]), "7:0:0:0");
    EXPECT_EQ(transport->KernelAddress(lines[3]), "260:0:3:1");
    EXPECT_EQ(kernel.linkAsked, "/sys/dev/block/11:0/device");
    EXPECT_TRUE(transport->SelectDevice(lines[3]));
}

TEST_F(SgIo, AnotherProgramHoldingTheDriveIsNamed)
{
    ASSERT_NO_FATAL_FAILURE(selectOneDrive());

    std::string reason;
    kernel.openFlags.clear();
    EXPECT_TRUE(transport->ClaimDrive(&reason));
    ASSERT_FALSE(kernel.openFlags.empty());
    EXPECT_TRUE(kernel.openFlags.back() & O_EXCL);
    EXPECT_TRUE(kernel.openFlags.back() & O_NONBLOCK);  // no wait for a medium
    transport->ReleaseDrive();

    kernel.heldNodes = {node};
    kernel.openFlags.clear();
    EXPECT_FALSE(transport->ClaimDrive(&reason));
    EXPECT_EQ(reason, "DRIVE " + node + " IS IN USE BY ANOTHER PROGRAM (MOUNTED OR OPENED EXCLUSIVELY)");
    EXPECT_EQ(kernel.openFlags.size(), 1u);  // no read-only attempt after EBUSY
}
