#!/usr/bin/env bash
# Installs the test-only MCP client (the official TypeScript SDK, at the version
# pinned by tests/mcp/package-lock.json) into tests/mcp/node_modules.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
client_dir="$top/tests/mcp"
stamp="$client_dir/node_modules/.package-lock.json"

if [ -f "$stamp" ] && [ "$stamp" -nt "$client_dir/package-lock.json" ]; then
  exit 0
fi
cd "$client_dir"
npm ci --no-audit --no-fund --loglevel=error
