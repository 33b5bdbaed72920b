// The first stage of the test VM, as /init of its initramfs: loads the
// modules /modules lists (a path a line, in order), mounts the host's root
// read-only over 9p (mount tag "root") and runs, as PID 1, the script that
// the kernel command line names as stage2=. Any failure powers the VM off.
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

static void fail(const char *what) {
  fprintf(stderr, "init: %s failed\n", what);
  sync();
  syscall(SYS_reboot, 0xfee1dead, 672274793, 0x4321fedc, NULL);
  for (;;) pause();
}

int main(void) {
  char line[256];
  FILE *list = fopen("/modules", "r");
  if (!list) fail("opening /modules");
  while (fgets(line, sizeof line, list)) {
    line[strcspn(line, "\n")] = 0;
    int fd = open(line, O_RDONLY | O_CLOEXEC);
    if (fd < 0 || syscall(SYS_finit_module, fd, "", 0) != 0) {
      fprintf(stderr, "init: module %s\n", line);
      fail("loading a module");
    }
    close(fd);
  }
  mkdir("/proc", 0755);
  mount("proc", "/proc", "proc", 0, NULL);
  char cmdline[4096] = {0};
  int fd = open("/proc/cmdline", O_RDONLY);
  if (fd < 0 || read(fd, cmdline, sizeof cmdline - 1) < 0) fail("reading /proc/cmdline");
  char *stage2 = strstr(cmdline, "stage2=");
  if (!stage2) fail("finding stage2=");
  stage2 += 7;
  stage2[strcspn(stage2, " \n")] = 0;
  umount("/proc");
  mkdir("/newroot", 0755);
  if (mount("root", "/newroot", "9p", MS_RDONLY,
            "trans=virtio,version=9p2000.L,cache=loose,msize=262144") != 0)
    fail("mounting the root");
  if (chdir("/newroot") != 0 || mount(".", "/", NULL, MS_MOVE, NULL) != 0 ||
      chroot(".") != 0 || chdir("/") != 0)
    fail("switching to the root");
  char *argv[] = {"/bin/bash", stage2, NULL};
  execv("/bin/bash", argv);
  fail("starting stage 2");
  return 1;
}
