/* A plugin for qemu's user-mode emulator that counts the guest instructions the program executes
 * and prints the total on standard error when it exits: "instructions N". Each translated block
 * adds its instruction count to the total inline as it runs, so the count costs almost nothing.
 * Debian's qemu-user loads plugins (-plugin) but ships neither one nor the API's header, so the
 * few calls used are declared here as qemu's plugin API (version 1) defines them. */
#include <inttypes.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

typedef uint64_t qemu_plugin_id_t;
typedef struct qemu_info_t qemu_info_t;
struct qemu_plugin_tb;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id,
                                           void (*cb)(qemu_plugin_id_t, struct qemu_plugin_tb *));
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb *tb, enum qemu_plugin_op op,
                                              void *ptr, uint64_t imm);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb *tb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, void (*cb)(qemu_plugin_id_t, void *),
                                    void *userdata);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

static uint64_t instructions;

static void CountBlock(qemu_plugin_id_t id, struct qemu_plugin_tb *tb) {
  (void)id;
  qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &instructions,
                                           qemu_plugin_tb_n_insns(tb));
}

static void PrintTotal(qemu_plugin_id_t id, void *userdata) {
  (void)id;
  (void)userdata;
  fprintf(stderr, "instructions %" PRIu64 "\n", instructions);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id,
                                                               const qemu_info_t *info, int argc,
                                                               char **argv) {
  (void)info;
  (void)argc;
  (void)argv;
  qemu_plugin_register_vcpu_tb_trans_cb(id, CountBlock);
  qemu_plugin_register_atexit_cb(id, PrintTotal, NULL);
  return 0;
}
