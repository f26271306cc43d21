// Loads a page in headless Chromium and prints, as JSON, what an expression
// evaluated in it resolves to ({"value": ...} or {"error": "..."}).
//   node browser_eval.mjs URL EXPRESSION [TIMEOUT_MS]
// Chromium is driven over the DevTools protocol on a pipe (fd 3 in, fd 4
// out, messages ended by NUL), so no package beyond Node itself is needed.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const [url, expression, timeoutText] = process.argv.slice(2);
const timeout = Number(timeoutText || 60000);
const profile = mkdtempSync(join(tmpdir(), "ordavel-chromium-"));
const browser = spawn(process.env.CHROMIUM || "chromium", [
  "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
  "--disable-component-update", "--disable-sync", "--no-first-run", "--user-data-dir=" + profile,
  "--remote-debugging-pipe", "about:blank",
], { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"] });

let nextId = 1;
const pending = new Map();
let buffer = "";
browser.stdio[4].on("data", (chunk) => {
  buffer += chunk.toString("utf8");
  let end;
  while ((end = buffer.indexOf("\0")) >= 0) {
    const message = JSON.parse(buffer.slice(0, end));
    buffer = buffer.slice(end + 1);
    const waiter = pending.get(message.id);
    if (waiter) {
      pending.delete(message.id);
      message.error ? waiter.reject(new Error(message.error.message)) : waiter.resolve(message.result);
    }
  }
});

function send(method, params = {}, sessionId) {
  const id = nextId++;
  const message = { id, method, params };
  if (sessionId) message.sessionId = sessionId;
  browser.stdio[3].write(JSON.stringify(message) + "\0");
  return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
}

function finish(result) {
  process.stdout.write(JSON.stringify(result) + "\n");
  browser.kill("SIGKILL");
  try { rmSync(profile, { recursive: true, force: true }); } catch (ignored) {}
  process.exit(0);
}

setTimeout(() => finish({ error: "timed out" }), timeout);

try {
  const { targetId } = await send("Target.createTarget", { url });
  const { sessionId } = await send("Target.attachToTarget", { targetId, flatten: true });
  const evaluate = (text) => send("Runtime.evaluate",
    { expression: text, awaitPromise: true, returnByValue: true }, sessionId);
  // The page's own script has run once window.demo exists.
  for (;;) {
    const ready = await evaluate("document.readyState === 'complete' && !!window.demo");
    if (ready.result.value) break;
    await new Promise((r) => setTimeout(r, 100));
  }
  const outcome = await evaluate(expression);
  if (outcome.exceptionDetails) {
    const thrown = outcome.exceptionDetails.exception;
    finish({ error: (thrown && (thrown.description || thrown.value)) || outcome.exceptionDetails.text });
  } else {
    finish({ value: outcome.result.value });
  }
} catch (error) {
  finish({ error: String(error) });
}
