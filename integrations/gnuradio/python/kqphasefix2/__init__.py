#
# Copyright 2008,2009 Free Software Foundation, Inc.
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#

'''
The kqphasefix2 phase unwrap for GNU Radio: unwrap_ff(cutoff, vlen, running).
'''

from .kqphasefix2_python import *
