#include "platform/posix/posix_service_host.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/posix/service_manager_socket.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

using testing::ScratchDir;
using testing::ServiceManagerSocket;

// What the manager hears of a run: ready with the lines, a new status (one
// line however it was written), stopping.
void RunOnce(ServiceHost& host) {
  host.Ready("running, lines COM1");
  host.SetStatus("running,\nno line");
  host.Stopping();
}

constexpr char kHeard[] =
    "READY=1\nSTATUS=running, lines COM1\n"
    "STATUS=running, no line\n"
    "STOPPING=1\nSTATUS=stopping\n";

TEST(ServiceHost, TheNotificationsReachASocketAtAPathOrAnAbstractName) {
  ScratchDir dir;
  for (const std::string& name :
       {dir.File("notify"), "@tillgate-test-" + std::to_string(getpid()) + "-notify"}) {
    ServiceManagerSocket manager(name);
    ASSERT_TRUE(manager.ok()) << name;
    auto host = NewNotifySocketHost(name);
    RunOnce(*host);
    EXPECT_TRUE(manager.WaitFor("STOPPING=1", 5000)) << name;
    EXPECT_EQ(manager.Received(), kHeard) << name;
  }
  // Nobody listening, or no usable name: nothing happens, nothing fails.
  RunOnce(*NewNotifySocketHost(dir.File("gone")));
  RunOnce(*NewNotifySocketHost("relative/notify"));
  RunOnce(*NewNotifySocketHost("@"));
  RunOnce(*NewNotifySocketHost("/" + std::string(200, 'x')));
}

// As the service manager starts the server: NOTIFY_SOCKET in the
// environment, carried by whichever means the build chose.
TEST(ServiceHost, TheSystemHostFollowsNotifySocket) {
  ScratchDir dir;
  ServiceManagerSocket manager(dir.File("notify"));
  ASSERT_TRUE(manager.ok());
  setenv("NOTIFY_SOCKET", manager.Name().c_str(), 1);
  RunOnce(*NewSystemServiceHost());
  unsetenv("NOTIFY_SOCKET");
  EXPECT_TRUE(manager.WaitFor("STOPPING=1", 5000));
  EXPECT_EQ(manager.Received(), kHeard);
  // Outside a service every call does nothing.
  RunOnce(*NewSystemServiceHost());
}

TEST(ServiceHost, TheJournalIsNamedByDeviceAndInode) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  struct stat info {};
  ASSERT_EQ(fstat(fileno(file), &info), 0);
  const std::string id = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  EXPECT_TRUE(StreamIsJournal(fileno(file), id.c_str()));
  EXPECT_FALSE(StreamIsJournal(fileno(file), (id + "1").c_str()));
  EXPECT_FALSE(StreamIsJournal(fileno(file), (id + ":").c_str()));
  EXPECT_FALSE(StreamIsJournal(fileno(file), nullptr));
  EXPECT_FALSE(StreamIsJournal(fileno(file), "journal"));
  std::fclose(file);
}

}  // namespace
}  // namespace tillgate
