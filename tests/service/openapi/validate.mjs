// Validates an OpenAPI document with the validator installed beside this
// file (npm ci), then prints its routes as "METHOD PATH" lines.
// Usage: node validate.mjs MODULES_FOLDER DOCUMENT.json
import { createRequire } from "node:module";
import path from "node:path";

const [modules, document] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(modules), "package.json"));
const SwaggerParser = require("@apidevtools/swagger-parser");

try {
  const api = await SwaggerParser.validate(path.resolve(document));
  const methods = ["get", "put", "post", "delete", "options", "head", "patch", "trace"];
  for (const [route, item] of Object.entries(api.paths ?? {}))
    for (const method of methods)
      if (item[method]) console.log(method.toUpperCase() + " " + route);
  console.log("valid " + api.openapi);
} catch (error) {
  console.log("invalid: " + error.message);
  process.exit(1);
}
