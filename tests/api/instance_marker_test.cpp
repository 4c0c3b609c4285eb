// The instance marker lies in /dev/shm, where every local user may create files, and the
// host may run as root. Each case here runs in a mount namespace of its own whose
// /dev/shm is a fresh tmpfs, so the machine's real marker is never touched: an
// unprivileged user (nobody) plants something at the marker path, then a real host
// process (the instance probe, as root unless the case says otherwise) loads the
// library, and the script shows what the host answered and what became of the files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <ostream>
#include <string>

#include "support/child_process.h"

namespace vantrel::test {
namespace {

const std::string kActive = "status=0 dbg=-1 process=0 text=Vantrel\n";
const std::string kRefused =
    "status=-1 dbg=-1 process=0 text=the debugger is debuggering program by another vyn instance, please close it "
    "and try again\n";
const std::string kUnusable = "trace=instance marker unusable, ";
const std::string kMarker = "/dev/shm/jtag_dll_share_mem";

// $1 the probe, $2 the library, $3 a root-only scratch folder outside /dev/shm. set -e:
// nothing runs unless the private tmpfs is in place.
const std::string kPrelude = R"(set -e
probe=$1 lib=$2 dir=$3 marker=/dev/shm/jtag_dll_share_mem
nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
other() { setpriv --reuid=4242 --regid=4242 --clear-groups "$@"; }
mount -t tmpfs -o mode=1777 vantrel-shm /dev/shm
)";

std::string FindTool(const char* name) {
  for (const char* folder : {"/usr/bin/", "/bin/", "/usr/sbin/", "/sbin/"}) {
    const std::string path = std::string(folder) + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

struct Attack {
  const char* name;
  std::string script;  // after the prelude
  std::string expected;
};

void PrintTo(const Attack& attack, std::ostream* out) { *out << attack.name; }

class InstanceMarkerTest : public ::testing::TestWithParam<Attack> {
 protected:
  void SetUp() override {
    unshare_ = FindTool("unshare");
    if (unshare_.empty() || FindTool("setpriv").empty()) GTEST_SKIP() << "needs unshare and setpriv (util-linux)";
    int status = -1;
    if (Run("nobody true\necho ready\n", &status) != "ready\n" || status != 0) {
      GTEST_SKIP() << "needs the right to make a private mount namespace with its own /dev/shm (root)";
    }
    char folder[] = "/tmp/vantrel-marker-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override {
    if (!folder_.empty()) (void)std::system(("rm -rf '" + folder_ + "'").c_str());
  }

  std::string Run(const std::string& script, int* status) {
    ChildProcess shell({unshare_, "--mount", "--propagation", "private", "/bin/sh", "-c", kPrelude + script, "sh",
                        INSTANCE_PROBE_PATH, VANTREL_LIBRARY_PATH, folder_});
    std::string output = shell.ReadAll(20000);
    *status = shell.Wait(10000);
    return output;
  }

  std::string unshare_;
  std::string folder_;
};

TEST_P(InstanceMarkerTest, HostStaysSafe) {
  int status = -1;
  EXPECT_EQ(Run(GetParam().script, &status), GetParam().expected);
  EXPECT_EQ(status, 0);
}

const Attack kAttacks[] = {
    {"SymlinkToARootOnlyFile",
     R"(printf secret > "$dir/secret"; chmod 600 "$dir/secret"
nobody ln -s "$dir/secret" "$marker"
"$probe" "$lib" once
stat -c '%a %U %s' "$dir/secret"; cat "$dir/secret"; echo
)",
     kRefused + kUnusable + kMarker + ": Too many levels of symbolic links\n600 root 6\nsecret\n"},
    {"DanglingSymlink",
     R"(nobody ln -s "$dir/planted" "$marker"
"$probe" "$lib" once
[ -e "$dir/planted" ] && echo created || echo nothing-created
)",
     kRefused + kUnusable + kMarker + ": Too many levels of symbolic links\nnothing-created\n"},
    {"Directory",
     R"(nobody mkdir "$marker"
"$probe" "$lib" once
)",
     kRefused + kUnusable + kMarker + ": not a regular file\n"},
    {"FifoDoesNotHangTheLoad",
     R"(nobody mkfifo "$marker"
"$probe" "$lib" once
)",
     kRefused + kUnusable + kMarker + ": not a regular file\n"},
    // Root may open any file; it takes the lock and leaves mode and owner alone.
    {"FileOfAnotherUserKeepsItsModeAndOwner",
     R"(nobody sh -c 'umask 077; : > "$1"' sh "$marker"
"$probe" "$lib" once
stat -c '%a %U' "$marker"
)",
     kActive + "600 nobody\n"},
    {"FileAnotherUserKeptPrivateIsAnOpenFailure",
     R"(nobody sh -c 'umask 077; : > "$1"' sh "$marker"
other "$probe" "$lib" once
)",
     kRefused + kUnusable + kMarker + ": Permission denied\n"},
    {"MarkerCreatedHereCanBeTakenByAnotherUserLater",
     R"("$probe" "$lib" once
stat -c '%a %U' "$marker"
nobody "$probe" "$lib" once
)",
     kActive + "666 root\n" + kActive},
    // Another user's host holds the marker: a real second instance, told by the conflict
    // alone. Once it has gone, root takes the marker it left.
    {"HeldByAnotherUsersHost",
     R"(mkfifo /dev/shm/hold.in
nobody "$probe" "$lib" hold < /dev/shm/hold.in > /dev/shm/hold.out &
exec 4> /dev/shm/hold.in
until [ -s /dev/shm/hold.out ]; do sleep 0.05; done
cat /dev/shm/hold.out
"$probe" "$lib" once
exec 4>&-
wait
"$probe" "$lib" once
stat -c '%a %U' "$marker"
)",
     kActive + kRefused + kActive + "666 nobody\n"},
    {"DirectoryWithoutStickyBitIsNotUsed",
     R"(chmod 0777 /dev/shm
"$probe" "$lib" once
ls -A /dev/shm | wc -l
)",
     kRefused + "trace=instance marker unusable, /dev/shm: not a root-owned directory with the sticky bit\n0\n"},
    {"SymlinkedShmIsNotFollowed",
     R"(mount -t tmpfs vantrel-dev /dev
mkdir -m 1777 /dev/elsewhere; ln -s /dev/elsewhere /dev/shm
"$probe" "$lib" once
ls -A /dev/elsewhere | wc -l
)",
     kRefused + "trace=instance marker unusable, /dev/shm: Not a directory\n0\n"},
};

INSTANTIATE_TEST_SUITE_P(Attacks, InstanceMarkerTest, ::testing::ValuesIn(kAttacks),
                         [](const ::testing::TestParamInfo<Attack>& attack) { return std::string(attack.param.name); });

}  // namespace
}  // namespace vantrel::test
