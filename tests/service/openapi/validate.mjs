// Validates an OpenAPI document with the validator installed beside this
// file (npm ci), then prints its routes as "METHOD PATH" lines. With a third
// argument, a JSON object of answers by schema name ({"Job": [...]}), checks
// each answer against that schema of the document's components.
// Usage: node validate.mjs MODULES_FOLDER DOCUMENT.json [ANSWERS.json]
import { createRequire } from "node:module";
import { readFileSync } from "node:fs";
import path from "node:path";

const [modules, document, answers] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(modules), "package.json"));
const SwaggerParser = require("@apidevtools/swagger-parser");
const Ajv2020 = require("ajv/dist/2020").default;

let failed = false;
try {
  // validate() dereferences the document it is given: it gets its own copy.
  const text = readFileSync(path.resolve(document), "utf8");
  const api = await SwaggerParser.validate(JSON.parse(text));
  const methods = ["get", "put", "post", "delete", "options", "head", "patch", "trace"];
  for (const [route, item] of Object.entries(api.paths ?? {}))
    for (const method of methods)
      if (item[method]) console.log(method.toUpperCase() + " " + route);
  console.log("valid " + api.openapi);

  if (answers) {
    const ajv = new Ajv2020({ strict: false, allErrors: true, validateFormats: false });
    ajv.addSchema(JSON.parse(text), "api");
    for (const [name, values] of Object.entries(JSON.parse(readFileSync(answers, "utf8")))) {
      const check = ajv.getSchema("api#/components/schemas/" + name);
      if (!check) {
        console.log("no schema " + name);
        failed = true;
        continue;
      }
      values.forEach((value, i) => {
        if (!check(value)) {
          console.log("answer " + name + "[" + i + "] does not match: " + ajv.errorsText(check.errors));
          failed = true;
        }
      });
    }
  }
} catch (error) {
  console.log("invalid: " + error.message);
  failed = true;
}
process.exit(failed ? 1 : 0);
