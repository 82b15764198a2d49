// Drives a morvel executable in --mcp mode with the official MCP TypeScript SDK.
//   node client-test.mjs sim PATH/morvel_ax_sim SCENE.json
//   node client-test.mjs helper PATH/morvel_ax_helper
import assert from "node:assert/strict";
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";

const [mode, command, ...rest] = process.argv.slice(2);
const commandTools = ["element-at", "focused", "selector-at", "find", "structure", "fields", "ocr-region", "fingerprint"];

// Width and height from a PNG's IHDR chunk.
function pngSize(base64) {
  const bytes = Buffer.from(base64, "base64");
  assert.deepEqual([...bytes.subarray(0, 8)], [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a], "PNG signature");
  assert.equal(bytes.subarray(12, 16).toString("ascii"), "IHDR");
  return { width: bytes.readUInt32BE(16), height: bytes.readUInt32BE(20) };
}

async function screenshotSize(client, rect) {
  const shot = await client.callTool({ name: "screenshot", arguments: rect });
  assert.notEqual(shot.isError, true, JSON.stringify(shot.content));
  assert.equal(shot.content.length, 1);
  assert.equal(shot.content[0].type, "image");
  assert.equal(shot.content[0].mimeType, "image/png");
  return pngSize(shot.content[0].data);
}

async function connect() {
  const transport = new StdioClientTransport({ command, args: ["--mcp", ...rest], env: process.env, stderr: "inherit" });
  const client = new Client({ name: "morvel-tests", version: "1.0.0" });
  await client.connect(transport);
  return client;
}

// The reply as structured content, and the same JSON as the text content.
function structured(result) {
  assert.notEqual(result.isError, true, JSON.stringify(result.content));
  assert.equal(result.content[0].type, "text");
  assert.deepEqual(JSON.parse(result.content[0].text), result.structuredContent);
  return result.structuredContent;
}

async function simulatedDesktop(client) {
  assert.equal(client.getServerVersion().name, "morvel_ax_sim");
  assert.ok(client.getServerCapabilities().tools);
  await client.ping();

  const { tools } = await client.listTools();
  assert.deepEqual(tools.map((t) => t.name).sort(), [...commandTools, "screenshot"].sort());
  for (const tool of tools) {
    assert.equal(tool.inputSchema.type, "object", tool.name);
    assert.ok(tool.description.length > 40, tool.name);
  }
  const required = Object.fromEntries(tools.map((t) => [t.name, t.inputSchema.required ?? []]));
  assert.deepEqual(required["ocr-region"], ["x", "y", "w", "h"]);
  assert.deepEqual(required["fingerprint"], []);

  // A selector from one tool resolves through another. (Replies and refusals of
  // single tools: the documented examples, which ProtocolReferenceTest runs.)
  const button = structured(await client.callTool({ name: "element-at", arguments: { x: 150, y: 100 } }));
  const selector = structured(await client.callTool({ name: "selector-at", arguments: { x: 150, y: 100 } }));
  const found = structured(
    await client.callTool({ name: "find", arguments: { selector: { path: selector.path, windowTitle: selector.windowTitle }, timeoutMs: 0 } }),
  );
  assert.equal(found.found, true);
  assert.deepEqual(found.frame, button.frame);

  // The scene's display has two pixels per point; the picture has one.
  assert.deepEqual(await screenshotSize(client, { x: 100, y: 80, w: 320, h: 97 }), { width: 320, height: 97 });
  const tooLarge = await client.callTool({ name: "screenshot", arguments: { x: 0, y: 0, w: 100000, h: 10 } });
  assert.equal(tooLarge.isError, true);
}

async function liveDesktop(client) {
  assert.equal(client.getServerVersion().name, "morvel_ax_helper");
  const digests = structured(await client.callTool({ name: "fingerprint", arguments: {} }));
  assert.equal(typeof digests, "object");
  assert.deepEqual(await screenshotSize(client, { x: 10, y: 20, w: 64, h: 48 }), { width: 64, height: 48 });
}

const client = await connect();
try {
  await (mode === "sim" ? simulatedDesktop(client) : liveDesktop(client));
  console.log(`mcp client test (${mode}): passed`);
} finally {
  await client.close();
}
