#!/bin/sh
# Sets everything up and runs the main job.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec scripts/main-job.sh build
