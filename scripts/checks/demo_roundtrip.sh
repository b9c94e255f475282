#!/usr/bin/env bash
# The README's main job, on a small instance.
DEMO_SIZE_MB=8 exec "$(dirname "$0")/../demo.sh"
