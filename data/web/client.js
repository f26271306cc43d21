// Ordavel print service client, an ES module served as /v1/client.js.
//
//   import { connect } from "http://127.0.0.1:17380/v1/client.js";
//   const ordavel = await connect({ token });
//   const job = await ordavel.print({ template, printer, records, key });
//
// print() resolves with the job's final state, followed through the event
// stream; every failed call rejects with an OrdavelError carrying the
// service's error code. A call the browser blocks because the token does not
// list this page's origin rejects with code "origin-not-allowed" and a
// message naming the origin and the command that allows it.

const FINAL = new Set(["printed", "failed", "cancelled", "expired"]);

export class OrdavelError extends Error {
  constructor(status, code, message, details) {
    super(message);
    this.name = "OrdavelError";
    this.status = status;
    this.code = code;
    this.details = details || {};
  }
}

// This module loads from any page, so when it loaded and the service answers
// for it still, a call the browser blocked was refused for the page's origin
// (the service answers such calls without CORS headers). Otherwise the
// service is not there.
async function unreadable(root, cause) {
  if (!(cause instanceof TypeError))
    return new OrdavelError(0, "unreachable", "打印服务没有响应：" + cause.message);
  let answers = false;
  try {
    answers = (await fetch(new URL("client.js", root), { cache: "no-store" })).ok;
  } catch (ignored) {}
  if (!answers) return new OrdavelError(0, "unreachable", "打印服务没有响应：" + cause.message);
  const origin = self.location.origin;
  if (origin === "null")
    return new OrdavelError(403, "origin-not-allowed",
      "打印服务不接受没有来源的页面（例如从文件打开的页面）：请从网址打开此页面，"
      + "并用 ordavel-cli token add NAME --origin ORIGIN 为它的来源添加令牌");
  return new OrdavelError(403, "origin-not-allowed",
    "此令牌不允许来源 " + origin + " 使用打印服务。允许它的命令：ordavel-cli token add NAME --origin " + origin
      + "，再让此页面使用它给出的令牌",
    { origin });
}

class Client {
  constructor(root, token) {
    this.root = root;
    this.token = token;
    this.waiters = new Map(); // job id -> [callbacks]
    this.stream = null;
  }

  async request(method, path, body, accept) {
    const headers = { Authorization: "Bearer " + this.token };
    if (body !== undefined) headers["Content-Type"] = "application/json";
    let response;
    try {
      response = await fetch(new URL(path, this.root), {
        method,
        headers,
        body: body === undefined ? undefined : JSON.stringify(body),
      });
    } catch (cause) {
      throw await unreadable(this.root, cause);
    }
    if (!response.ok) {
      let error = { code: "http-" + response.status, message: response.statusText };
      try {
        error = (await response.json()).error || error;
      } catch (ignored) {}
      throw new OrdavelError(response.status, error.code, error.message, error);
    }
    if (accept === "blob") return response.blob();
    return response.json();
  }

  info() { return this.request("GET", "info"); }
  printers() { return this.request("GET", "printers"); }
  templates() { return this.request("GET", "templates"); }
  job(id) { return this.request("GET", "jobs/" + id); }
  jobs(since) { return this.request("GET", "jobs" + (since ? "?since=" + encodeURIComponent(since) : "")); }
  cancel(id) { return this.request("POST", "jobs/" + id + "/cancel", {}); }

  // The record's page as a PNG (or, with format "pdf", a PDF) Blob.
  preview({ template, record, format = "png", dpi = 96 }) {
    const query = "preview?format=" + encodeURIComponent(format) + "&dpi=" + encodeURIComponent(dpi);
    return this.request("POST", query, { template, record }, "blob");
  }

  // Opens the event stream once; resolves when the service says hello.
  listen() {
    if (this.stream) return this.stream;
    this.stream = new Promise((resolve, reject) => {
      const controller = new AbortController();
      fetch(new URL("events", this.root), {
        headers: { Authorization: "Bearer " + this.token },
        signal: controller.signal,
      }).then(async (response) => {
        if (!response.ok) {
          reject(new OrdavelError(response.status, "events-" + response.status, "无法接收任务状态"));
          return;
        }
        const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
        let buffer = "";
        for (;;) {
          const { value, done } = await reader.read();
          if (done) break;
          buffer += value;
          let end;
          while ((end = buffer.indexOf("\n\n")) >= 0) {
            const block = buffer.slice(0, end);
            buffer = buffer.slice(end + 2);
            for (const line of block.split("\n")) {
              if (!line.startsWith("data: ")) continue;
              const event = JSON.parse(line.slice(6));
              if (event.type === "hello") resolve();
              this.dispatch(event);
            }
          }
        }
        this.stream = null;
      }).catch(async (cause) => {
        this.stream = null;
        reject(await unreadable(this.root, cause));
      });
    });
    return this.stream;
  }

  dispatch(event) {
    const id = event.type === "job" ? event.id : event.job;
    for (const callback of this.waiters.get(id) || []) callback(event);
  }

  // Calls back with each event of job `id` until `done` says so.
  follow(id, onEvent, done) {
    return new Promise((resolve) => {
      const callback = (event) => {
        if (onEvent) onEvent(event);
        if (done(event)) {
          const list = (this.waiters.get(id) || []).filter((c) => c !== callback);
          this.waiters.set(id, list);
          resolve(event);
        }
      };
      this.waiters.set(id, [...(this.waiters.get(id) || []), callback]);
    });
  }

  // Sends the job and resolves with its final state. onProgress, when
  // given, sees every job and record event of it.
  async print({ template, printer, records, key, copies, expires }, { onProgress } = {}) {
    await this.listen();
    const body = { template, records };
    if (printer !== undefined) body.printer = printer;
    if (key !== undefined) body.key = key;
    if (copies !== undefined) body.copies = copies;
    if (expires !== undefined) body.expires = expires;
    const accepted = await this.request("POST", "jobs", body);
    if (onProgress) onProgress({ type: "job", id: accepted.id, state: accepted.state });
    const current = await this.job(accepted.id);
    if (!FINAL.has(current.state)) {
      await Promise.race([
        this.follow(accepted.id, onProgress, (e) => e.type === "job" && FINAL.has(e.state)),
        // The stream may have been missed: look again now and then.
        (async () => {
          for (;;) {
            await new Promise((r) => setTimeout(r, 2000));
            if (FINAL.has((await this.job(accepted.id)).state)) return;
          }
        })(),
      ]);
    }
    return this.job(accepted.id);
  }
}

// Connects to the service that served this module (or to `url`) with an
// access token; rejects when the service does not answer or refuses it.
export async function connect({ token, url } = {}) {
  const root = url ? new URL("/v1/", url) : new URL(".", import.meta.url);
  const client = new Client(root, token);
  await client.printers();
  return client;
}
