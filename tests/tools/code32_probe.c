/* Built natively by scripts/test.sh with the host's compiler: does this kernel offer a 32-bit
 * code segment? A child process jumps far into selector 0x23 (the kernel's 32-bit user code
 * segment), whose one instruction jumps back to 64-bit code that exits with 42. Where the segment
 * is missing, the far jump itself faults; the child's handler checks that the fault is at that
 * very instruction. Prints one line; exit 0: 32-bit code runs, 10: no 32-bit code segment,
 * 1: anything else (the line says what). */
#define _GNU_SOURCE
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

extern char far_jump[];

static void on_fault(int sig, siginfo_t *info, void *context) {
    const ucontext_t *uc = context;
    (void)info;
    _exit((uintptr_t)uc->uc_mcontext.gregs[REG_RIP] == (uintptr_t)far_jump ? 20 : 30 + sig % 10);
}

int main(void) {
    uint8_t *low = mmap(NULL, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (low == MAP_FAILED) { perror("code32_probe: mmap below 4 GB"); return 1; }
    const uint32_t at = (uint32_t)(uintptr_t)low, back = at + 16;
    /* At `at`, 32-bit code: ljmp 0x33:back. At `back`, 64-bit code: exit(42) by the syscall instruction. */
    uint8_t code[] = {0xEA, 0, 0, 0, 0, 0x33, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                      0xBF, 42, 0, 0, 0, 0xB8, 60, 0, 0, 0, 0x0F, 0x05};
    memcpy(code + 1, &back, sizeof back);
    memcpy(low, code, sizeof code);
    fflush(stdout);
    const pid_t child = fork();
    if (child < 0) { perror("code32_probe: fork"); return 1; }
    if (child == 0) {
        struct sigaction action;
        memset(&action, 0, sizeof action);
        action.sa_sigaction = on_fault;
        action.sa_flags = SA_SIGINFO;
        sigaction(SIGSEGV, &action, NULL);
        sigaction(SIGBUS, &action, NULL);
        struct __attribute__((packed)) { uint32_t offset; uint16_t selector; } target = {at, 0x23};
        __asm__ volatile(".globl far_jump\nfar_jump: ljmpl *%0" : : "m"(target));
        _exit(3);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) { perror("code32_probe: waitpid"); return 1; }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 42) {
        puts("a far jump into the 32-bit code segment runs there and comes back");
        return 0;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 20) {
        puts("the far jump into the 32-bit code segment faults: this kernel offers none");
        return 10;
    }
    if (WIFEXITED(status)) printf("the probe's child exited %d (20 would be a fault at the far jump)\n", WEXITSTATUS(status));
    else printf("the probe's child ended by signal %d\n", WIFSIGNALED(status) ? WTERMSIG(status) : -1);
    return 1;
}
