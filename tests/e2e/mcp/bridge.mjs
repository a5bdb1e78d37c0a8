// An MCP client built on the official SDK, spawning `tavelin mcp`; the tests send it one JSON request
// per line on stdin ({"op":"list"} or {"op":"call","name":…,"arguments":…}) and read one JSON answer.
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";
import readline from "node:readline";

const [tavelin] = process.argv.slice(2);
const transport = new StdioClientTransport({ command: tavelin, args: ["mcp"], env: process.env, stderr: "inherit" });
const client = new Client({ name: "tavelin-e2e", version: "1.0.0" });

const say = (value) => process.stdout.write(JSON.stringify(value) + "\n");

try {
  await client.connect(transport);
} catch (error) {
  say({ error: String(error) });
  process.exit(1);
}
say({ ready: true, server: client.getServerVersion(), capabilities: client.getServerCapabilities(),
      instructions: client.getInstructions() });

for await (const line of readline.createInterface({ input: process.stdin })) {
  const request = JSON.parse(line);
  try {
    if (request.op === "list") say(await client.listTools());
    else if (request.op === "call") say(await client.callTool({ name: request.name, arguments: request.arguments ?? {} }));
    else say({ error: "unknown op " + request.op });
  } catch (error) {
    say({ protocolError: { code: error.code ?? null, message: String(error.message ?? error) } });
  }
}
await client.close();
