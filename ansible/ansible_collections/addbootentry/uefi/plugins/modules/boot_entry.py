#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Copyright (c) 2026, the addbootentry authors

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: boot_entry
short_description: Make sure a UEFI boot entry exists
version_added: 1.0.0
description:
  - Makes sure that the firmware's C(BootOrder) lists a C(Boot####) entry that starts I(loader) from
    I(volume), with short-form device paths (from the partition's C(HD) node), by running the host's
    C(addbootentry) unattended (C(addbootentry --json --yes)).
  - A new entry gets the lowest free number, one that clobbers no existing variable, and is appended to
    the end of C(BootOrder).
  - When C(BootOrder) already lists an entry with the same device paths and optional data, nothing is
    written and the task reports no change; an existing entry is never altered, even when its label
    differs from I(label).
  - In check mode the program makes a dry run; C(changed) then says what a real run would do, and
    nothing is written.
  - The task fails with the program's message on a host whose firmware does not let Linux write boot
    variables (U-Boot keeps them for itself), without efivarfs, or not started through UEFI.
author:
  - the addbootentry authors
requirements:
  - C(addbootentry) installed on the host (the C(addbootentry-efi) package of the release).
  - Root, and efivarfs mounted read-write.
options:
  loader:
    description:
      - The loader's path on its volume, as the firmware reads it, with a leading backslash
        (C(\EFI\debian\shimx64.efi)).
    type: str
    required: true
  volume:
    description:
      - The volume that holds I(loader), one of C(PARTUUID=<GUID>) of a GPT partition, C(PARTUUID=<8 hex>-<2 hex>)
        of an MBR one, a block device (C(/dev/nvme0n1p1)) or the mount point of a FAT file system
        (C(/boot/efi)).
      - Omitted, the one FAT volume on which I(loader) exists; none, or more than one, fails the task
        and the message names the candidates.
    type: str
  label:
    description:
      - The entry's description, as the firmware's boot menu shows it. Omitted, the program's default.
    type: str
  boot_volume:
    description:
      - The Boot Volume of a Boot Volume System Root Descriptor (BVSRD), by the same selectors as
        I(volume), a FAT volume or a partition without a file system the firmware reads.
    type: str
  boot_fs:
    description:
      - The file-system type of I(boot_volume); required for a partition that is not FAT, refused for a FAT one.
    type: str
    choices: [kfs, wfs, qfs]
  root:
    description:
      - The system root path of the BVSRD. Omitted, the program's default.
    type: str
  bvsrd_as:
    description:
      - Whether the BVSRD is stored as the entry's optional data or as its second device path.
      - Required with I(boot_volume).
    type: str
    choices: [data, path]
  boot_next:
    description:
      - Also set C(BootNext) to the entry (the new one, or the identical one found), so that the next
        boot starts it once.
      - Reported as a change only when C(BootNext) named another entry or none.
    type: bool
    default: false
  state:
    description:
      - C(present), the only state, makes sure the entry exists. Entries are never removed.
    type: str
    choices: [present]
    default: present
  executable:
    description:
      - The program to run.
    type: path
    default: /usr/sbin/addbootentry
notes:
  - Supports check mode.
  - The entry is compared by device paths and optional data only, as the firmware's boot manager sees
    it; a different I(label) alone does not make a second entry.
  - The manual page addbootentry(8) has the command line that this module runs, its exit statuses and
    its JSON object.
'''

EXAMPLES = r'''
- name: Debian's shim on the ESP starts first on the next boot, once
  addbootentry.uefi.boot_entry:
    loader: \EFI\debian\shimx64.efi
    volume: /boot/efi
    label: Debian
    boot_next: true

- name: An entry whose BVSRD names the system's partition as its second device path
  addbootentry.uefi.boot_entry:
    loader: \EFI\vendor\loader.efi
    volume: PARTUUID=8c2d5ef3-4a1b-4e07-9d55-2f0e5b9a61c4
    boot_volume: /dev/nvme0n1p3
    boot_fs: wfs
    bvsrd_as: path
'''

RETURN = r'''
result:
  description: What the program did, C(created), C(unchanged) (the identical entry was there) or C(dry-run).
  returned: success
  type: str
  sample: created
variable:
  description: The entry's variable, the new one or the identical one found.
  returned: success
  type: str
  sample: Boot0004
number:
  description: The entry's number.
  returned: success
  type: int
  sample: 4
label:
  description: The entry's description; for an entry already there, its own.
  returned: success
  type: str
  sample: Debian
device_paths:
  description: The entry's device paths, as EDK2 shows them.
  returned: success
  type: list
  elements: str
  sample: ['HD(1,GPT,C0DE0001-E5B0-4A1E-8D1A-0123456789AB,0x800,0x10000)/\EFI\test\loader.efi']
optional_data:
  description: The entry's optional data, in hexadecimal.
  returned: success
  type: str
  sample: ''
load_option:
  description: The whole C(EFI_LOAD_OPTION) record, in hexadecimal.
  returned: success
  type: str
  sample: 010000005c0046006c00650065007400000004012a00010000000008000000000000000001000000000001...
boot_order:
  description: C(BootOrder) at the end of the run, four hexadecimal digits an entry.
  returned: success
  type: list
  elements: str
  sample: ['0000', '0004']
boot_next:
  description: C(BootNext) as the run left it, or null.
  returned: success
  type: str
  sample: '0004'
message:
  description: The program's closing line; on failure, why.
  returned: always
  type: str
  sample: Boot0004 "Debian" created and added to BootOrder
rc:
  description: The program's exit status (0 the entry exists, 1 refused or a firmware call failed, 2 bad options).
  returned: when the program ran
  type: int
  sample: 0
stderr:
  description: The dialogue's text, which the program writes to standard error, without its colours.
  returned: when the program ran
  type: str
  sample: ''
'''

import json
import os
import re

from ansible.module_utils.basic import AnsibleModule

# The variable that holds BootNext: EFI_GLOBAL_VARIABLE's GUID, as efivarfs names it.
BOOT_NEXT = '/sys/firmware/efi/efivars/BootNext-8be4df61-93ca-11d2-aa0d-00e098032b8c'
# The options handed to the program as they are, module name to command-line name.
VALUE_OPTIONS = ('loader', 'volume', 'label', 'boot_volume', 'boot_fs', 'root', 'bvsrd_as')
# The terminal's control sequences in the dialogue's text: colours, cursor moves.
CONTROL = re.compile(r'\x1b\[[0-9;?]*[A-Za-z]')
FIELDS = ('result', 'variable', 'number', 'label', 'device_paths', 'optional_data', 'load_option',
          'boot_order', 'boot_next', 'message')


def command_line(params, check_mode):
    """The program's words for these module parameters."""
    words = [params['executable'], '--json', '--yes']
    for name in VALUE_OPTIONS:
        if params[name] is not None:
            words += ['--' + name.replace('_', '-'), params[name]]
    if params['boot_next']:
        words.append('--boot-next')
    if check_mode:
        words.append('--dry-run')
    return words


def boot_next_now(path=BOOT_NEXT):
    """BootNext as four hexadecimal digits, or None when unset or unreadable
    (the variable is four bytes of attributes, then the number, little-endian)."""
    try:
        with open(path, 'rb') as f:
            data = bytearray(f.read())
    except (IOError, OSError):
        return None
    if len(data) != 6:
        return None
    return '%02X%02X' % (data[5], data[4])


def outcome(rc, stdout, boot_next_before, boot_next_asked):
    """(failed, changed, result fields) of one run of the program."""
    try:
        report = json.loads(stdout)
    except ValueError:
        report = None
    if not isinstance(report, dict):
        return True, False, {}
    fields = dict((name, report.get(name)) for name in FIELDS if name in report)
    if rc != 0 or report.get('result') not in ('created', 'unchanged', 'dry-run'):
        return True, False, fields
    number = report.get('number')
    next_differs = boot_next_asked and isinstance(number, int) and boot_next_before != '%04X' % number
    return False, report['result'] != 'unchanged' or bool(next_differs), fields


def main():
    module = AnsibleModule(
        argument_spec=dict(
            loader=dict(type='str', required=True),
            volume=dict(type='str'),
            label=dict(type='str'),
            boot_volume=dict(type='str'),
            boot_fs=dict(type='str', choices=['kfs', 'wfs', 'qfs']),
            root=dict(type='str'),
            bvsrd_as=dict(type='str', choices=['data', 'path']),
            boot_next=dict(type='bool', default=False),
            state=dict(type='str', choices=['present'], default='present'),
            executable=dict(type='path', default='/usr/sbin/addbootentry'),
        ),
        required_by=dict(boot_volume='bvsrd_as', bvsrd_as='boot_volume', boot_fs='boot_volume',
                         root='boot_volume'),
        supports_check_mode=True,
    )
    params = module.params
    if not os.path.exists(params['executable']):
        module.fail_json(msg='%s not found: install the addbootentry-efi package of the release on this host'
                         % params['executable'])
    before = boot_next_now()
    rc, stdout, stderr = module.run_command(command_line(params, module.check_mode))
    stderr = CONTROL.sub('', stderr)
    failed, changed, fields = outcome(rc, stdout, before, params['boot_next'])
    if failed:
        message = fields.pop('message', None) or (stderr.strip().splitlines() or ['no JSON object'])[-1]
        module.fail_json(msg=message, rc=rc, stderr=stderr, **fields)
    module.exit_json(changed=changed, rc=rc, stderr=stderr, **fields)


if __name__ == '__main__':
    main()
